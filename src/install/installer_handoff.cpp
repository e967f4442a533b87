// The installer-presence test, the notification of the product's running
// programs and the hand-off of the verified package.
#include "install_state/path_helpers.hpp"
#include "support/diagnostics.hpp"
#include "wizard/frm_main.hpp"
#include "wizard/layout.hpp"

bool frmMain::CheckWindowsInstaller() {
  bool present = false;
  try {
    present = platform_.shell.InstallerPresent();
  } catch (...) {
  }
  if (present) return true;
  MessageText = std::string("WARNING!") + CRLF + CRLF +
                "An error has occurred while attempting to initialize the Windows Install" + " program. As a result, " +
                AppTitle + " cannot continue." + CRLF + CRLF +
                "This program requires that the Microsoft Windows Installer be present" +
                " and properly installed. It also requires that the file MSI.DLL be in the" + " appropriate location." +
                CRLF + CRLF + "Please rectify this problem and rerun " + AppTitle + ".";
  C(Ctl::Label1_0).SetCaption(MessageText);
  MessageText.clear();
  C(Ctl::Cmd1).SetEnabled(false);
  ShowFrame(0);
  return false;
}

bool frmMain::NotifyRunningPrograms() {
  const bool sent = platform_.messages.BroadcastNotifyMessage(static_cast<std::uint32_t>(MsgGeneral), 1000, 0);
  if (!sent) LogFailure(LogArea::Broadcast, "the running Larkspire programs could not be told to close");
  return sent;
}

bool frmMain::RunInstall() {
  if (!NotifyRunningPrograms()) return false;
  const std::string target = CurrentIndex >= 0 && static_cast<std::size_t>(CurrentIndex) < ComponentTable.size()
                                 ? ComponentTable[static_cast<std::size_t>(CurrentIndex)].sTargetFile
                                 : std::string();
  if (FileExists(platform_.files, target)) {
    const std::intptr_t result = platform_.shell.ShellExecute("open", "\"" + target + "\"", "", "", 1);
    if (result <= 32) {
      MessageText = std::string("An error has occurred while attempting to run install program.") + CRLF +
                    "Please rerun " + AppTitle + ".";
    }
  } else {
    MessageText = std::string("The ") + AppTitle + " file was not found on disk" + CRLF +
                  "and may have been deleted since it was downloaded." + CRLF + CRLF + "Please rerun " + AppTitle + ".";
  }
  if (!MessageText.empty()) {
    ExitCode = ExitStatus::HandOverFailed;
    platform_.messageBox.MsgBox(MessageText, Mb::Exclamation | Mb::OkOnly, ErrorTitle);
  }
  MessageText.clear();
  platform_.window.Unload();
  return false;
}
