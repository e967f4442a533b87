// The check, result, download and ready pages.
#include "catalog/profile_parser.hpp"
#include "design/layout.hpp"
#include "wizard/frm_main.hpp"

void frmMain::ShowCheckPage() {
  DrawHeader("Checking for Updates...", 14);
  Transfer.ShowTransferStatus();
  // Without the notification no transfer starts; the user is told so and
  // may retry, rather than left looking at a connection that never comes.
  if (!Installer.NotifyRunningPrograms()) {
    Transfer.htp_HTTPError(UpdateInfoUrl, InstallerHandoff::ProgramsNotToldText);
    return;
  }
  Transfer.DeleteDownloadedFiles();
  // The reader looks at no more of the file than this; a longer one is
  // never stored.
  Transfer.Start(0, kMaxProfileBytes);
}

void frmMain::ShowResultPage(CatalogResult result) {
  C(Ctl::Cmd0).SetEnabled(false);
  C(Ctl::Cmd1).SetEnabled(true);
  C(Ctl::Cmd2).SetEnabled(true);
  const std::string app = AppTitle;
  switch (result) {
    case crError:
      RecheckPending = true;
      Transfer.DeleteDownloadedFiles();
      DrawHeader("Update Error", 14);
      MessageText = "An error has occurred while attempting to read the " + app + " file." +
                    " It may have been corrupted during download. As it is, " + app + " cannot continue." + CRLF +
                    CRLF + "You can attempt to correct this problem by downloading the " + app +
                    " file again. Click Next to try to download the file again." + CRLF + CRLF +
                    "Click Cancel to exit " + app + ".";
      break;
    case crUpdatesAvailable:
      DrawHeader("Updates Available", 14);
      MessageText = app + " has determined that the following Larkspire components can be updated." + CRLF + CRLF;
      for (std::size_t i = 2; i < ComponentTable.size(); ++i) MessageText += ComponentTable[i].sFileName + CRLF;
      MessageText += CRLF + CRLF + "Click Next if you wish to proceed with the update. If you decide to proceed with" +
                     " the update, the listed components will first be downloaded. After they have been" +
                     " successfully downloaded, they will be used to update your outdated Larkspire" + " components." +
                     CRLF + CRLF + "Click Cancel if you do not wish to continue with the update.";
      break;
    case crNotAvailable:
      DrawHeader(app + " is Not Available", 14);
      MessageText = app + " is not available at this time." + CRLF + CRLF + "Please run " + app +
                    " again in a few days when the Larkspire team has" +
                    "  finished uploading the latest version to it's website." + CRLF + CRLF +
                    "Thank you for using Larkspire.";
      break;
    default:
      DrawHeader("Larkspire is up to date!", 14);
      MessageText = "Congratulations!" + CRLF + CRLF +
                    "You currently have all the latest versions of the Larkspire components." + " You can run " + app +
                    " at a later date to see if there are any updates available." + CRLF + CRLF +
                    "Thank you for using Larkspire.";
      break;
  }
  if (result != crError && result != crUpdatesAvailable) {
    C(Ctl::Cmd1).SetEnabled(false);
    C(Ctl::Cmd2).SetCaption("Finished");
    SetFocusSafe(Ctl::Cmd2);
  }
  C(Ctl::Label1_4).SetCaption(MessageText);
  MessageText.clear();
  ShowFrame(4);
}

void frmMain::ShowDownloadPage() {
  DrawHeader("Downloading Updates...", 14);
  Transfer.ShowTransferStatus();
  Transfer.DeleteDownloadedFiles();
  // The package's own length bounds its fetch, when the catalog gives it;
  // its digests are made as it arrives.
  Transfer.Start(1, Entry(1) ? Entry(1)->lSize : 0, Installer.WatchArrival());
}

void frmMain::ShowReadyPage() {
  C(Ctl::Cmd0).SetEnabled(false);
  C(Ctl::Cmd1).SetEnabled(true);
  C(Ctl::Cmd2).SetEnabled(true);
  DrawHeader("Ready to Install the Updates", 14);
  MessageText += std::string("The latest Larkspire components have been successfully downloaded and are") +
                 " ready to be installed. Click the Install button to start the installation." + CRLF + CRLF +
                 "Thank you for using Larkspire!";
  C(Ctl::Cmd1).SetCaption("Install");
  C(Ctl::Label1_4).SetCaption(MessageText);
  MessageText.clear();
  ShowFrame(4);
}
