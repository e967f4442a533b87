// The pages of the wizard as the user sees them, how Next, Previous and
// Cancel move between them, and where leaving asks first.
#include <filesystem>

#include "support/diagnostics.hpp"
#include "wizard_fixture.hpp"

namespace {
// One page in one situation: what is set up, which page is shown, and what
// the user then sees.
struct PageRow {
  const char* name;
  int page = 0;     // shown by ShowPage, or
  int result = -1;  // the result page for this catalog result
  std::uint32_t connectionFlags = 0x42;
  bool connectionAnswers = true, installer = true;
  std::vector<std::string> components{};
  std::string header;
  Ctl body;
  std::vector<std::string> parts;  // in the body's text
  std::string absent{};            // not in it
  std::string buttons = "-++";     // Previous, Next, Cancel enabled
  std::string next = "&Next", cancel = "&Cancel";
  Ctl frame = Ctl::frMain0, focus = Ctl::Cmd1;  // Ctl::Count: none
};
void PrintTo(const PageRow& r, std::ostream* os) { *os << r.name; }

const char* const kOffline =
    "settings.\r\n\r\nLarkspire AutoUpdate requires you to be connected to the Internet. If you are not connected, "
    "please stop and do so now.\r\n\r\nClick Next to continue with the Update.";
const char* const kPrepare =
    "Next, Larkspire AutoUpdate will attempt to connect to updates.test:8731 to retrieve update information.";

const PageRow kPages[] = {
    {.name = "Welcome",
     .page = 1,
     .header = "Welcome to the Larkspire AutoUpdate Wizard",
     .body = Ctl::Label1_0,
     .parts = {"This program will update your version of the Larkspire Browser.\r\n\r\n",
               "you may loose unsaved information or settings.\r\n\r\nClick Next to continue with the Update."}},
    {.name = "WelcomeWithoutAConnection",
     .page = 1,
     .connectionFlags = 0x02,
     .header = "Welcome to the Larkspire AutoUpdate Wizard",
     .body = Ctl::Label1_0,
     .parts = {kOffline}},
    {.name = "WelcomeWhenTheSystemDoesNotSay",
     .page = 1,
     .connectionAnswers = false,
     .header = "Welcome to the Larkspire AutoUpdate Wizard",
     .body = Ctl::Label1_0,
     .parts = {kOffline}},
    {.name = "InstallerMissing",
     .installer = false,
     .header = "Welcome to the Larkspire AutoUpdate Wizard",
     .body = Ctl::Label1_0,
     .parts = {"WARNING!\r\n\r\nAn error has occurred while attempting to initialize the Windows Install program.",
               "Please rectify this problem and rerun Larkspire AutoUpdate."},
     .buttons = "--+",
     .focus = Ctl::Count},
    {.name = "Preparing",
     .page = 2,
     .header = "Preparing to Connect...",
     .body = Ctl::Label1_2,
     .parts = {kPrepare, "one of it's components exists", "Click Cancel to abort the update."},
     .absent = "WARNING",
     .buttons = "+++",
     .frame = Ctl::frMain2},
    {.name = "PreparingWithoutAConnection",
     .page = 2,
     .connectionFlags = 0,
     .header = "Preparing to Connect...",
     .body = Ctl::Label1_2,
     .parts = {kPrepare,
               "abort the update.\r\n\r\n\r\n\r\n\r\nWARNING!   An Internet connection has not been detected. "
               "If this is acurate, you should start your Internet connection before attempting to "
               "continue.\r\n\r\n"},
     .buttons = "+++",
     .frame = Ctl::frMain2},
    {.name = "Checking",
     .page = 3,
     .header = "Checking for Updates...",
     .body = Ctl::Label1_3,
     .parts = {"Attempting to connect to updates.test:8731"},
     .buttons = "--+",
     .frame = Ctl::frMain3,
     .focus = Ctl::cmdLoad0},
    {.name = "UpdatesAvailable",
     .result = crUpdatesAvailable,
     .components = {"viewer.exe", "quillon"},
     .header = "Updates Available",
     .body = Ctl::Label1_4,
     .parts = {"the following Larkspire components can be updated.\r\n\r\nviewer.exe\r\nquillon\r\n\r\n\r\nClick "
               "Next if you wish to proceed with the update."},
     .frame = Ctl::frMain4},
    {.name = "UpdateError",
     .result = crError,
     .header = "Update Error",
     .body = Ctl::Label1_4,
     .parts = {"It may have been corrupted during download.", "Click Next to try to download the file again."},
     .frame = Ctl::frMain4},
    {.name = "UpToDate",
     .result = crUpToDate,
     .header = "Larkspire is up to date!",
     .body = Ctl::Label1_4,
     .parts = {"Congratulations!\r\n\r\nYou currently have all the latest versions of the Larkspire components."},
     .buttons = "--+",
     .cancel = "Finished",
     .frame = Ctl::frMain4,
     .focus = Ctl::Cmd2},
    {.name = "UnknownResultCountsAsUpToDate",
     .result = 7,
     .header = "Larkspire is up to date!",
     .body = Ctl::Label1_4,
     .parts = {"Congratulations!"},
     .buttons = "--+",
     .cancel = "Finished",
     .frame = Ctl::frMain4,
     .focus = Ctl::Cmd2},
    {.name = "NotAvailable",
     .result = crNotAvailable,
     .header = "Larkspire AutoUpdate is Not Available",
     .body = Ctl::Label1_4,
     .parts = {"Larkspire AutoUpdate is not available at this time.",
               "when the Larkspire team has  finished "
               "uploading the latest version to it's "
               "website."},
     .buttons = "--+",
     .cancel = "Finished",
     .frame = Ctl::frMain4,
     .focus = Ctl::Cmd2},
    {.name = "Ready",
     .page = 7,
     .header = "Ready to Install the Updates",
     .body = Ctl::Label1_4,
     .parts = {"are ready to be installed. Click the Install button to start the installation."},
     .next = "Install",
     .frame = Ctl::frMain4},
};

class PageTest : public WizardTest, public ::testing::WithParamInterface<PageRow> {};

TEST_P(PageTest, ShowsItsTextButtonsAndFocus) {
  const PageRow& row = GetParam();
  shell.installerPresent = row.installer;
  frmMain& f = Start();
  connection.flags = row.connectionFlags;
  connection.answers = row.connectionAnswers;
  f.ComponentTable.resize(2);  // the update-information file and the package come first
  for (const std::string& name : row.components) f.ComponentTable.emplace_back().sFileName = name;
  if (row.page) f.ShowPage(f.CurrentPage = row.page);
  if (row.result >= 0) f.ShowResultPage(static_cast<CatalogResult>(f.CurrentPage = PageResult, row.result));

  EXPECT_EQ(window.picture1.Calls("Print").back().text, row.header);
  for (const std::string& part : row.parts) EXPECT_NE(Caption(row.body).find(part), std::string::npos) << part;
  EXPECT_EQ(row.absent.empty() || Caption(row.body).find(row.absent) == std::string::npos, true);
  const std::string buttons = {Enabled(Ctl::Cmd0) ? '+' : '-', Enabled(Ctl::Cmd1) ? '+' : '-',
                               Enabled(Ctl::Cmd2) ? '+' : '-'};
  EXPECT_EQ(buttons, row.buttons);
  EXPECT_EQ(Caption(Ctl::Cmd1), row.next);
  EXPECT_EQ(Caption(Ctl::Cmd2), row.cancel);
  EXPECT_EQ(window.VisibleFrames(), std::vector<Ctl>{row.frame});
  EXPECT_EQ(window.Focused(), row.focus == Ctl::Count ? nullptr : &window.Ctrl(row.focus));
  EXPECT_EQ(f.CloseWithoutConfirm, !row.installer);
  EXPECT_TRUE(f.MessageText.empty());
}

INSTANTIATE_TEST_SUITE_P(Pages, PageTest, ::testing::ValuesIn(kPages),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(WizardTest, StartUpOpensTheWelcomePageWithTheProductsState) {
  frmMain& f = Start();
  EXPECT_EQ(window.caption, "Larkspire AutoUpdate");
  EXPECT_EQ(window.icon, "rid_icon");
  EXPECT_EQ(f.CurrentPage, PageWelcome);
  EXPECT_EQ(f.Installed.State.AppVersion, "3.02.0012");
  // The header picture went into the hidden holder, which took its size.
  EXPECT_EQ(window.picBitmap.ScaleWidth(), 501);
  EXPECT_EQ(window.picBitmap.ScaleHeight(), 67);
  // The table holds the update-information file, and only it.
  ASSERT_EQ(f.ComponentTable.size(), 1u);
  EXPECT_EQ(f.ComponentTable[0].sSourceUrl, "http://updates.test:8731/browser/updchk.ndf");
  EXPECT_EQ(BoxesShown(), 0u);
}

TEST_F(WizardTest, StartUpErrorsStopBeforeAnyPage) {
  fake.messages.registerResults.assign(10, 0);  // registration never succeeds
  Answer({Mb::Yes});
  EXPECT_EQ(Start().CurrentPage, 0);
  ASSERT_EQ(BoxesShown(), 1u);
  EXPECT_NE(fake.messageBox.shown[0].prompt.find("The error number is -2147220504\r\nThe string describing this "
                                                 "error is:\r\n\"Couldn't register window messages.\"\r\nThe error "
                                                 "occurred in Module h0002"),
            std::string::npos);
  // A version of the wrong form means the product is not installed: the program ends.
  fake.messageBox.shown.clear();
  cRegistry reg(fake.registry, fake.environment);
  reg.RootKey("Software\\Tessarine");
  reg.RegWrite("\\LarkspireBrowser\\Main", "App Version", std::string("3.2.12"));
  fake.messages.registerResults.clear();
  EXPECT_THROW(Start(), ProgramEnded);
  EXPECT_EQ(fake.process.lastExitStatus, ExitStatus::NotInstalled);
  EXPECT_EQ(form->CurrentPage, 0);
}

TEST_F(WizardTest, NextAndPreviousWalkThePagesAndPreviousStartsAfresh) {
  frmMain& f = Start();
  f.Cmd_Click(1);
  EXPECT_EQ(f.CurrentPage, PagePrepare);
  f.ComponentTable.resize(4);
  f.ComponentTable[0].sDownloadedFile = "somewhere";
  f.Transfer.CurrentIndex = 1;
  f.Cmd_Click(0);
  EXPECT_EQ(f.CurrentPage, PageWelcome);
  ASSERT_EQ(f.ComponentTable.size(), 1u);
  EXPECT_TRUE(f.ComponentTable[0].sDownloadedFile.empty());
  EXPECT_EQ(f.Transfer.CurrentIndex, 0);
  // Numbers without a page of their own show nothing and change nothing.
  for (int page : {int(PageResult), 0, 8, -1}) {
    f.ShowPage(page);
    EXPECT_EQ(window.VisibleFrames(), std::vector<Ctl>{Ctl::frMain0}) << "page " << page;
  }
}

TEST_F(WizardTest, NextAfterAnUpdateErrorChecksAgainAndTheErrorDeletesTheDownloads) {
  frmMain& f = Start();
  const std::string downloaded = dir.File("updchk.ndf");
  WriteFileBytes(downloaded, "x");
  f.ComponentTable[0].sDownloadedFile = PosixFileSystem::FromNative(downloaded);
  f.ShowResultPage(crError);
  EXPECT_TRUE(f.RecheckPending);
  EXPECT_TRUE(f.ComponentTable[0].sDownloadedFile.empty());
  EXPECT_FALSE(std::filesystem::exists(downloaded));
  f.CurrentPage = PageResult;
  f.Cmd_Click(1);
  EXPECT_EQ(f.CurrentPage, PageRecheck);
  EXPECT_FALSE(f.RecheckPending);
  f.CurrentPage = PageResult;
  f.Cmd_Click(1);
  EXPECT_EQ(f.CurrentPage, PageDownload);
}

// Which pages ask before closing, and whether the download is stopped.
struct ExitRow {
  int page;
  const char* cancelCaption;
  bool asks;
  bool stops;
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
    EXPECT_EQ(fake.messageBox.shown[0].prompt,
              "Larkspire AutoUpdate has not completed.\r\n\r\nAre you sure you want to exit Larkspire AutoUpdate?");
    EXPECT_EQ(fake.messageBox.shown[0].buttons, Mb::YesNo | Mb::Question | Mb::DefaultButton2);
    EXPECT_EQ(window.unloadCount, 0);
    EXPECT_EQ(Caption(Ctl::Label1_3), "Downloading x");
    Answer({Mb::Yes});
    f.Cmd_Click(2);
  }
  EXPECT_EQ(BoxesShown(), row.asks ? 2u : 0u);
  EXPECT_EQ(window.unloadCount, 1);
  EXPECT_EQ(Caption(Ctl::Label1_3) == "Download stopped", row.stops);
}

INSTANTIATE_TEST_SUITE_P(Pages, ExitTest,
                         ::testing::Values(ExitRow{1, "&Cancel", false, false}, ExitRow{2, "&Cancel", true, false},
                                           ExitRow{3, "&Cancel", true, false}, ExitRow{4, "&Cancel", true, true},
                                           ExitRow{5, "&Cancel", true, true}, ExitRow{5, "Finished", false, true},
                                           ExitRow{6, "&Cancel", true, true}, ExitRow{7, "&Cancel", true, false},
                                           ExitRow{7, "Finished", true, false}));

TEST_F(WizardTest, AMissingInstallerMakesCancelCloseAtOnceButTheTitleBarStillAsks) {
  frmMain& f = Start();
  f.CurrentPage = PagePrepare;
  f.CloseWithoutConfirm = true;  // what a missing installer sets
  int cancel = 0;
  Answer({Mb::No});
  f.Form_QueryUnload(cancel, 0);
  EXPECT_EQ(cancel, 1);
  cancel = 0;
  f.Form_QueryUnload(cancel, 1);  // closing from code never asks
  EXPECT_EQ(cancel, 0);
  EXPECT_EQ(BoxesShown(), 1u);
  f.Cmd_Click(2);
  EXPECT_EQ(window.unloadCount, 1);
  EXPECT_EQ(BoxesShown(), 1u);
}

TEST_F(WizardTest, TheFocusGoesToNextOrPreviousOrStaysPut) {
  frmMain& f = Start();
  window.Ctrl(Ctl::Cmd1).SetEnabled(false);
  window.Ctrl(Ctl::Cmd0).SetEnabled(true);
  f.ShowFrame(3);
  EXPECT_EQ(window.Focused(), &window.Ctrl(Ctl::Cmd0));
  window.Ctrl(Ctl::Cmd0).SetEnabled(false);
  window.Ctrl(Ctl::cmdLoad1).SetVisible(false);
  f.ShowFrame(4);
  f.SetFocusSafe(Ctl::cmdLoad1);
  EXPECT_EQ(window.Focused(), &window.Ctrl(Ctl::Cmd0));
  EXPECT_EQ(window.VisibleFrames(), std::vector<Ctl>{Ctl::frMain4});
}
}  // namespace
