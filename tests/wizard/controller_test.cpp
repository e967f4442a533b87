#include "wizard_fixture.hpp"

namespace {
const std::string kExitQuestion =
    "Larkspire AutoUpdate has not completed.\r\n\r\nAre you sure you want to exit Larkspire AutoUpdate?";

TEST_F(WizardTest, StartUpShowsTheWelcomePageWithCaptionIconAndHeaderPicture) {
  frmMain& f = Start();
  EXPECT_EQ(window.caption, "Larkspire AutoUpdate");
  EXPECT_EQ(window.icon, "rid_icon");
  EXPECT_EQ(f.CurrentPage, PageWelcome);
  EXPECT_EQ(window.VisibleFrames(), std::vector<Ctl>{Ctl::frMain0});
  // The header picture went into the hidden holder, which took its size.
  ASSERT_NE(window.picBitmap.picture, nullptr);
  EXPECT_TRUE(window.picBitmap.autoRedraw);
  EXPECT_EQ(window.picBitmap.ScaleWidth(), 501);
  EXPECT_EQ(window.picBitmap.ScaleHeight(), 67);
  EXPECT_EQ(f.Installed.State.AppVersion, "3.02.0012");
  EXPECT_EQ(BoxesShown(), 0u);
}

TEST_F(WizardTest, StartUpErrorIsReportedAsModule0002AndStopsStartUp) {
  fake.messages.registerResults.assign(10, 0);  // registration never succeeds
  Answer({Mb::Yes});
  frmMain& f = Start();
  ASSERT_EQ(BoxesShown(), 1u);
  const ShownMessage& box = fake.messageBox.shown[0];
  EXPECT_NE(box.prompt.find("The error number is -2147220504\r\n"), std::string::npos);
  EXPECT_NE(box.prompt.find("\"Couldn't register window messages.\""), std::string::npos);
  EXPECT_NE(box.prompt.find("Module h0002"), std::string::npos);
  EXPECT_EQ(box.title, "Larkspire AutoUpdate - Error");
  // Start-up went no further: no page was shown.
  EXPECT_EQ(f.CurrentPage, 0);
  EXPECT_EQ(fake.process.endCount, 0);
}

TEST_F(WizardTest, NotInstalledProductEndsBeforeAnyPage) {
  cRegistry reg(fake.registry, fake.environment);
  reg.RootKey("Software\\Tessarine");
  reg.RegWrite("\\LarkspireBrowser\\Main", "App Version", std::string("3.2.12"));
  EXPECT_THROW(Start(), ProgramEnded);
  EXPECT_EQ(fake.process.endCount, 1);
  EXPECT_EQ(form->CurrentPage, 0);
  EXPECT_TRUE(window.Ctrl(Ctl::Label1_0).Caption().empty());
}

TEST_F(WizardTest, NextAndPreviousWalkThePages) {
  frmMain& f = Start();
  f.Cmd_Click(1);
  EXPECT_EQ(f.CurrentPage, PagePrepare);
  EXPECT_EQ(window.VisibleFrames(), std::vector<Ctl>{Ctl::frMain2});
  EXPECT_TRUE(Enabled(Ctl::Cmd0));
  f.Cmd_Click(0);
  EXPECT_EQ(f.CurrentPage, PageWelcome);
  EXPECT_EQ(window.VisibleFrames(), std::vector<Ctl>{Ctl::frMain0});
  EXPECT_FALSE(Enabled(Ctl::Cmd0));
}

TEST_F(WizardTest, PreviousFromPreparingRebuildsTheWelcomePageAndTable) {
  frmMain& f = Start();
  f.Cmd_Click(1);
  f.ComponentTable.resize(4);
  f.ComponentTable[0].sDownloadedFile = "somewhere";
  f.Transfer.CurrentIndex = 1;
  window.Ctrl(Ctl::Label1_0).SetCaption("stale");
  f.Cmd_Click(0);
  ASSERT_EQ(f.ComponentTable.size(), 1u);
  EXPECT_EQ(f.ComponentTable[0].sSourceUrl, "http://updates.test:8731/browser/updchk.ndf");
  EXPECT_EQ(f.ComponentTable[0].sFileName, "updchk.ndf");
  EXPECT_TRUE(f.ComponentTable[0].sDownloadedFile.empty());
  EXPECT_EQ(f.Transfer.CurrentIndex, 0);
  EXPECT_NE(Caption(Ctl::Label1_0), "stale");
}

TEST_F(WizardTest, ShowPageDispatchesEveryPageNumber) {
  frmMain& f = Start();
  struct Row {
    int page;
    Ctl frame;
  } rows[] = {{1, Ctl::frMain0}, {2, Ctl::frMain2}, {3, Ctl::frMain3},
              {4, Ctl::frMain3}, {6, Ctl::frMain3}, {7, Ctl::frMain4}};
  for (const Row& r : rows) {
    f.ShowPage(r.page);
    EXPECT_EQ(window.VisibleFrames(), std::vector<Ctl>{r.frame}) << "page " << r.page;
  }
  // Page 5 and numbers outside 1..7 show nothing and change nothing.
  for (int page : {5, 0, 8, -1}) {
    f.ShowPage(2);
    f.ShowPage(page);
    EXPECT_EQ(window.VisibleFrames(), std::vector<Ctl>{Ctl::frMain2}) << "page " << page;
  }
}

TEST_F(WizardTest, NextAfterAnUpdateErrorChecksAgainOnPage4) {
  frmMain& f = Start();
  f.CurrentPage = PageResult;
  f.RecheckPending = true;
  f.Cmd_Click(1);
  EXPECT_EQ(f.CurrentPage, PageRecheck);
  EXPECT_FALSE(f.RecheckPending);
  f.CurrentPage = PageResult;
  f.Cmd_Click(1);
  EXPECT_EQ(f.CurrentPage, PageDownload);
}

TEST_F(WizardTest, NextOnTheReadyPageInstallsAndNeverReachesPage8) {
  frmMain& f = Start();
  f.CurrentPage = PageReady;
  f.ComponentTable.resize(2);
  f.Transfer.CurrentIndex = 1;
  fake.messages.broadcastFails = true;
  f.Cmd_Click(1);
  EXPECT_EQ(f.CurrentPage, PageReady);
  EXPECT_EQ(window.unloadCount, 0);
  EXPECT_EQ(BoxesShown(), 0u);
}

// Which pages ask before closing, and what each answer does.
struct ExitRow {
  int page;
  const char* cancelCaption;
  bool asks;
  bool stops;  // StopDownload runs once the exit is confirmed
};

void PrintTo(const ExitRow& r, std::ostream* os) { *os << "page " << r.page << " cancel '" << r.cancelCaption << "'"; }

class ExitTest : public WizardTest, public ::testing::WithParamInterface<ExitRow> {};

TEST_P(ExitTest, CancelAsksExactlyWhereItShould) {
  const ExitRow row = GetParam();
  frmMain& f = Start();
  f.CurrentPage = row.page;
  window.Ctrl(Ctl::Cmd2).SetCaption(row.cancelCaption);
  window.Ctrl(Ctl::Label1_3).SetCaption("Downloading x");

  Answer({Mb::No});
  f.Cmd_Click(2);
  if (row.asks) {
    ASSERT_EQ(BoxesShown(), 1u);
    EXPECT_EQ(fake.messageBox.shown[0].prompt, kExitQuestion);
    EXPECT_EQ(fake.messageBox.shown[0].buttons, Mb::YesNo | Mb::Question | Mb::DefaultButton2);
    EXPECT_EQ(fake.messageBox.shown[0].title, "Larkspire AutoUpdate");
    EXPECT_EQ(window.unloadCount, 0);
    EXPECT_EQ(f.CurrentPage, row.page);
    EXPECT_EQ(Caption(Ctl::Label1_3), "Downloading x");
    EXPECT_TRUE(f.MessageText.empty());
    Answer({Mb::Yes});
    f.Cmd_Click(2);
  }
  EXPECT_EQ(BoxesShown(), row.asks ? 2u : 0u);
  EXPECT_EQ(window.unloadCount, 1);
  EXPECT_EQ(Caption(Ctl::Label1_3) == "Download stopped", row.stops);
  EXPECT_TRUE(f.MessageText.empty());
}

INSTANTIATE_TEST_SUITE_P(Pages, ExitTest,
                         ::testing::Values(ExitRow{1, "&Cancel", false, false}, ExitRow{2, "&Cancel", true, false},
                                           ExitRow{3, "&Cancel", true, false}, ExitRow{4, "&Cancel", true, true},
                                           ExitRow{5, "&Cancel", true, true}, ExitRow{5, "Finished", false, true},
                                           ExitRow{6, "&Cancel", true, true}, ExitRow{7, "&Cancel", true, false},
                                           ExitRow{7, "Finished", true, false}));

TEST_F(WizardTest, TitleBarCloseAsksLikeConfirmExitAndIgnoresCloseWithoutConfirm) {
  frmMain& f = Start();
  f.CurrentPage = PagePrepare;
  f.CloseWithoutConfirm = true;
  Answer({Mb::No});
  int cancel = 0;
  f.Form_QueryUnload(cancel, 0);
  EXPECT_EQ(cancel, 1);
  EXPECT_EQ(BoxesShown(), 1u);
  Answer({Mb::Yes});
  cancel = 0;
  f.Form_QueryUnload(cancel, 0);
  EXPECT_EQ(cancel, 0);
  // Closing from code never asks.
  cancel = 0;
  f.Form_QueryUnload(cancel, 1);
  EXPECT_EQ(cancel, 0);
  EXPECT_EQ(BoxesShown(), 2u);
  // On the Welcome page the title bar closes without a question.
  f.CurrentPage = PageWelcome;
  f.Form_QueryUnload(cancel, 0);
  EXPECT_EQ(cancel, 0);
  EXPECT_EQ(BoxesShown(), 2u);
}

TEST_F(WizardTest, CloseWithoutConfirmMakesCancelCloseAtOnce) {
  shell.installerPresent = false;
  frmMain& f = Start();
  EXPECT_TRUE(f.CloseWithoutConfirm);
  f.CurrentPage = PagePrepare;  // even where a question would be asked
  f.Cmd_Click(2);
  EXPECT_EQ(window.unloadCount, 1);
  EXPECT_EQ(BoxesShown(), 0u);
}

TEST_F(WizardTest, ShowFrameMovesFocusToNextOrPrevious) {
  frmMain& f = Start();
  f.ShowFrame(2);
  EXPECT_EQ(window.Focused(), &window.Ctrl(Ctl::Cmd1));
  EXPECT_EQ(window.Ctrl(Ctl::frMain2).frontCount, 1);
  window.Ctrl(Ctl::Cmd1).SetEnabled(false);
  window.Ctrl(Ctl::Cmd0).SetEnabled(true);
  f.ShowFrame(3);
  EXPECT_EQ(window.Focused(), &window.Ctrl(Ctl::Cmd0));
  // Neither usable: the focus stays where it is.
  window.Ctrl(Ctl::Cmd0).SetEnabled(false);
  f.ShowFrame(4);
  EXPECT_EQ(window.Focused(), &window.Ctrl(Ctl::Cmd0));
  EXPECT_EQ(window.VisibleFrames(), std::vector<Ctl>{Ctl::frMain4});
}

TEST_F(WizardTest, SetFocusSafeSkipsDisabledAndHiddenControls) {
  frmMain& f = Start();
  f.SetFocusSafe(Ctl::Cmd2);
  EXPECT_EQ(window.Focused(), &window.Ctrl(Ctl::Cmd2));
  window.Ctrl(Ctl::cmdLoad0).SetEnabled(false);
  f.SetFocusSafe(Ctl::cmdLoad0);
  window.Ctrl(Ctl::cmdLoad1).SetVisible(false);
  f.SetFocusSafe(Ctl::cmdLoad1);
  EXPECT_EQ(window.Focused(), &window.Ctrl(Ctl::Cmd2));
}
}  // namespace
