// Start-up, navigation, the page dispatcher and the exit confirmation.
#include "design/layout.hpp"
#include "support/diagnostics.hpp"
#include "wizard/frm_main.hpp"

void frmMain::Form_Load() {
  Catalog.SayWhenUnsigned();
  try {
    platform_.window->SetIcon("rid_icon");
    platform_.window->SetCaption(AppTitle);
    Installed.ReadInstalledState();
    Installer.Prepare(Installed.State, RunStarted);
    KeepPackageCopies();
    if (std::shared_ptr<Picture> picture = Installed.LoadResourcePicture("rid_bitmap")) {
      ISurface& holder = platform_.window->Surface(Ctl::picBitmap);
      holder.SetAutoRedraw(true);
      holder.SetPicture(std::move(picture));
    }
    CurrentPage = PageWelcome;
    ShowWelcomePage();
  } catch (const std::exception& e) {
    Errors.HandleUnexpectedError(ModuleStartup, AsRuntimeError(e));
    // Going on after the error: the window shows the page it is on, not the
    // frames of every page at once.
    ShowFrame(0);
  }
}

void frmMain::Cmd_Click(int Index) {
  switch (Index) {
    case CmdPrevious:
      --CurrentPage;
      ShowPage(CurrentPage);
      break;
    case CmdNext:
      if (CurrentPage == PageReady) {
        Installer.RunInstall();
        break;
      }
      ++CurrentPage;
      ShowPage(CurrentPage);
      break;
    case CmdCancel:
      if (CloseWithoutConfirm || ConfirmExit(CurrentPage)) platform_.window->Unload();
      break;
    default:
      break;
  }
}

void frmMain::Form_QueryUnload(int& cancel, int unloadMode) {
  // Closing from code never asks again; only the user's own close does.
  if (unloadMode == 0 && !ConfirmExit(CurrentPage)) cancel = 1;
}

void frmMain::Form_Unload() {
  T(TimerId::tmrStatus).SetEnabled(false);
  T(TimerId::tmrDownload).SetEnabled(false);
  Transfer.Disconnect();
  Transfer.DeleteDownloadedFiles();
  Installed.KeepUnkept();
}

void frmMain::ShowPage(std::int32_t page) {
  switch (page) {
    case PageWelcome:
      ShowWelcomePage();
      break;
    case PagePrepare:
      ShowPreparePage();
      break;
    case PageCheck:
    case PageRecheck:
      ShowCheckPage();
      break;
    case PageDownload:
      if (RecheckPending) {
        RecheckPending = false;
        CurrentPage = PageRecheck;
        ShowCheckPage();
      } else {
        ShowDownloadPage();
      }
      break;
    case PageReady:
      ShowReadyPage();
      break;
    default:
      break;  // the result page is shown by the catalog; others do not exist
  }
}

bool frmMain::ConfirmExit(std::int32_t page) {
  const bool ask = (C(Ctl::Cmd2).Caption() != "Finished" && page > PageWelcome) || page == PageReady;
  if (ask) {
    MessageText =
        std::string(AppTitle) + " has not completed." + CRLF + CRLF + "Are you sure you want to exit " + AppTitle + "?";
    const int answer =
        platform_.messageBox->MsgBox(MessageText, Mb::YesNo | Mb::Question | Mb::DefaultButton2, AppTitle);
    if (answer == Mb::No) {
      MessageText.clear();
      return false;
    }
  }
  if (page == PageRecheck || page == PageResult || page == PageDownload) Transfer.StopDownload();
  MessageText.clear();
  return true;
}

void frmMain::ShowFrame(std::int32_t index) {
  for (int i : {0, 2, 3, 4})
    if (i != index) C(PageFrame(i)).SetVisible(false);
  const Ctl shown = PageFrame(index);
  if (shown != Ctl::Count) {
    C(shown).SetVisible(true);
    C(shown).BringToFront();
  }
  IControl& next = C(Ctl::Cmd1);
  if (next.Visible() && next.Enabled()) {
    SetFocusSafe(Ctl::Cmd1);
  } else if (next.Visible() && C(Ctl::Cmd0).Visible() && C(Ctl::Cmd0).Enabled()) {
    SetFocusSafe(Ctl::Cmd0);
  }
}

void frmMain::SetFocusSafe(Ctl control) {
  try {
    IControl& c = C(control);
    if (c.Enabled() && c.Visible()) c.SetFocus();
  } catch (...) {
  }
}
