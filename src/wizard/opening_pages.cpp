// The Welcome and Preparing to Connect pages.
#include "catalog/catalog_rules.hpp"
#include "design/layout.hpp"
#include "wizard/frm_main.hpp"

void frmMain::ShowWelcomePage() {
  // The two checks need no fonts, so they come before the header: at
  // start-up its title is the first text, and a text waits for the fonts
  // that are still being listed on another CPU meanwhile.
  const bool installerPresent = Installer.CheckWindowsInstaller();
  const bool connected = installerPresent && ConnectionState();
  C(Ctl::Cmd0).SetEnabled(false);
  C(Ctl::Cmd1).SetEnabled(true);
  C(Ctl::Cmd2).SetEnabled(true);
  DrawHeader(std::string("Welcome to the ") + AppTitle + " Wizard", 14);
  if (!installerPresent) {
    ShowInstallerWarning();
    CloseWithoutConfirm = true;
    return;
  }
  MessageText = std::string("This program will update your version of the Larkspire Browser.") + CRLF + CRLF +
                "It is strongly recommended that you exit all Windows" +
                " programs before starting this update. Click Cancel" +
                " to quit the update in order to close any programs" + " you have running." + CRLF + CRLF +
                "It is particularly important that you exit all Larkspire programs" +
                " that are running. If you choose not to do so, " + AppTitle + " will close" +
                " them and you may loose unsaved information or settings." + CRLF + CRLF;
  if (!connected) {
    MessageText += std::string(AppTitle) + " requires you to be connected to the Internet." +
                   " If you are not connected, please stop and do so now." + CRLF + CRLF;
  }
  MessageText += "Click Next to continue with the Update.";
  C(Ctl::Label1_0).SetCaption(MessageText);
  MessageText.clear();

  // Every check starts again from the update-information file.
  ComponentTable.assign(1, UpdateComponent{});
  ComponentTable[0].sSourceUrl = UpdateInfoUrl;
  ComponentTable[0].sFileName = FileNameFromUrl(UpdateInfoUrl);
  Transfer.CurrentIndex = 0;
  ShowFrame(0);
  SetFocusSafe(Ctl::Cmd1);
}

void frmMain::ShowInstallerWarning() {
  C(Ctl::Label1_0).SetCaption(InstallerHandoff::InstallerMissingText());
  C(Ctl::Cmd1).SetEnabled(false);
  ShowFrame(0);
}

void frmMain::ShowPreparePage() {
  C(Ctl::Cmd0).SetEnabled(true);
  C(Ctl::Cmd1).SetEnabled(true);
  DrawHeader("Preparing to Connect...", 14);
  MessageText = std::string("Next, ") + AppTitle + " will attempt to connect to " + UpdateHost +
                " to retrieve update information." + CRLF + CRLF +
                "If a more recent version of Larkspire or one of it's components exists," +
                " it will be downloaded and installed upon your verification." + CRLF + CRLF +
                "Click Next to access the Internet and start the update process. Click" +
                " Cancel to abort the update.";
  if (!ConnectionState()) {
    MessageText += CRLF + CRLF + CRLF + CRLF + CRLF +
                   "WARNING!   An Internet connection has not been detected. If this is acurate, you" +
                   " should start your Internet connection before attempting to continue." + CRLF + CRLF;
  }
  C(Ctl::Label1_2).SetCaption(MessageText);
  MessageText.clear();
  ShowFrame(2);
}
