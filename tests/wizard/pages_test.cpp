// The pages of the wizard as the user sees them, how Next, Previous and
// Cancel move between them, and where leaving asks first.
#include <filesystem>

#include "support/diagnostics.hpp"
#include "wizard_fixture.hpp"

namespace {
// One page in one situation: how it is reached, and what the user then sees.
struct PageRow {
  const char* name;
  int page, result;  // shown by ShowPage, or the result page for a catalog result (-1: none)
  int connection;    // the system's connection flags; -1: the system does not answer
  bool installer;
  std::string header;
  Ctl body;
  std::vector<std::string> parts;  // in the body's text; the last one ends it
  std::string buttons, captions;   // Previous, Next, Cancel: '+' enabled; the captions of Next and Cancel
  Ctl frame, focus;
};
void PrintTo(const PageRow& r, std::ostream* os) { *os << r.name; }

const std::string kOffline =
    "settings.\r\n\r\nLarkspire AutoUpdate requires you to be connected to the Internet. If "
    "you are not connected, please stop and do so now.\r\n\r\nClick Next to continue with the Update.";
const std::string kPrepare =
    "Next, Larkspire AutoUpdate will attempt to connect to updates.test:8731 to retrieve "
    "update information.";
const std::string kNoConnection =
    "abort the update.\r\n\r\n\r\n\r\n\r\nWARNING!   An Internet connection has not "
    "been detected. If this is acurate, you should start your Internet connection before attempting to "
    "continue.\r\n\r\n";
const std::string kWelcome = "Welcome to the Larkspire AutoUpdate Wizard", kUpToDate = "Larkspire is up to date!";
const std::string kNext = "&Next|&Cancel", kFinished = "&Next|Finished";
const int kResult = -1;

// clang-format off
const PageRow kPages[] = {
  {"Welcome", 1, kResult, 0x42, true, kWelcome, Ctl::Label1_0, {"This program will update your version of the Larkspire Browser.\r\n\r\n", "you may loose unsaved information or settings.\r\n\r\nClick Next to continue with the Update."}, "-++", kNext, Ctl::frMain0, Ctl::Cmd1},
  {"WelcomeOffline", 1, kResult, 0x02, true, kWelcome, Ctl::Label1_0, {kOffline}, "-++", kNext, Ctl::frMain0, Ctl::Cmd1},
  {"WelcomeWhenTheSystemDoesNotSay", 1, kResult, -1, true, kWelcome, Ctl::Label1_0, {kOffline}, "-++", kNext, Ctl::frMain0, Ctl::Cmd1},
  {"InstallerMissing", 0, kResult, 0x42, false, kWelcome, Ctl::Label1_0, {"WARNING!\r\n\r\nAn error has occurred while attempting to initialize the Windows Install program.", "Please rectify this problem and rerun Larkspire AutoUpdate."}, "--+", kNext, Ctl::frMain0, Ctl::Cmd2},
  {"Preparing", 2, kResult, 0x42, true, "Preparing to Connect...", Ctl::Label1_2, {kPrepare, "one of it's components exists", "Click Cancel to abort the update."}, "+++", kNext, Ctl::frMain2, Ctl::Cmd1},
  {"PreparingOffline", 2, kResult, 0, true, "Preparing to Connect...", Ctl::Label1_2, {kPrepare, kNoConnection}, "+++", kNext, Ctl::frMain2, Ctl::Cmd1},
  {"Checking", 3, kResult, 0x42, true, "Checking for Updates...", Ctl::Label1_3, {"Attempting to connect to updates.test:8731"}, "--+", kNext, Ctl::frMain3, Ctl::cmdLoad0},
  {"UpdatesAvailable", 0, crUpdatesAvailable, 0x42, true, "Updates Available", Ctl::Label1_4, {"the following Larkspire components can be updated.\r\n\r\nviewer.exe\r\nquillon\r\n\r\n\r\nClick Next if you wish to proceed with the update.", "Click Cancel if you do not wish to continue with the update."}, "-++", kNext, Ctl::frMain4, Ctl::Cmd1},
  {"UpdateError", 0, crError, 0x42, true, "Update Error", Ctl::Label1_4, {"It may have been corrupted during download.", "Click Next to try to download the file again.", "Click Cancel to exit Larkspire AutoUpdate."}, "-++", kNext, Ctl::frMain4, Ctl::Cmd1},
  {"UpToDate", 0, crUpToDate, 0x42, true, kUpToDate, Ctl::Label1_4, {"Congratulations!\r\n\r\nYou currently have all the latest versions of the Larkspire components.", "Thank you for using Larkspire."}, "--+", kFinished, Ctl::frMain4, Ctl::Cmd2},
  {"UnknownResultIsUpToDate", 0, 7, 0x42, true, kUpToDate, Ctl::Label1_4, {"Congratulations!", "Thank you for using Larkspire."}, "--+", kFinished, Ctl::frMain4, Ctl::Cmd2},
  {"NotAvailable", 0, crNotAvailable, 0x42, true, "Larkspire AutoUpdate is Not Available", Ctl::Label1_4, {"not available at this time.", "when the Larkspire team has  finished uploading the latest version to it's website.\r\n\r\nThank you for using Larkspire."}, "--+", kFinished, Ctl::frMain4, Ctl::Cmd2},
  {"Ready", 7, kResult, 0x42, true, "Ready to Install the Updates", Ctl::Label1_4, {"are ready to be installed. Click the Install button to start the installation.\r\n\r\nThank you for using Larkspire!"}, "-++", "Install|&Cancel", Ctl::frMain4, Ctl::Cmd1},
};
// clang-format on

class PageTest : public WizardTest, public ::testing::WithParamInterface<PageRow> {};

TEST_P(PageTest, ShowsItsTextButtonsAndFocus) {
  const PageRow& row = GetParam();
  shell.installerPresent = row.installer;
  frmMain& f = Start();
  connection.flags = static_cast<std::uint32_t>(row.connection);
  connection.answers = row.connection >= 0;
  f.ComponentTable.resize(2);  // the update-information file and the package come first
  f.ComponentTable.emplace_back().sFileName = "viewer.exe";
  f.ComponentTable.emplace_back().sFileName = "quillon";
  if (row.page) f.ShowPage(f.CurrentPage = row.page);
  if (row.result != kResult) f.ShowResultPage(static_cast<CatalogResult>(f.CurrentPage = PageResult, row.result));

  EXPECT_EQ(Header(), row.header);
  for (const std::string& part : row.parts) EXPECT_NE(Caption(row.body).find(part), std::string::npos) << part;
  EXPECT_TRUE(Caption(row.body).ends_with(row.parts.back())) << Caption(row.body);
  const std::string buttons = {Enabled(Ctl::Cmd0) ? '+' : '-', Enabled(Ctl::Cmd1) ? '+' : '-',
                               Enabled(Ctl::Cmd2) ? '+' : '-'};
  EXPECT_EQ(buttons, row.buttons);
  EXPECT_EQ(Caption(Ctl::Cmd1) + "|" + Caption(Ctl::Cmd2), row.captions);
  EXPECT_EQ(VisibleFrames(), std::vector<Ctl>{row.frame});
  EXPECT_EQ(Focused(), row.focus);
  // A run that stops at Update Error failed, whatever the user does next.
  EXPECT_EQ(f.ExitCode(), !row.installer          ? ExitStatus::InstallerMissing
                          : row.result == crError ? ExitStatus::UpdateFailed
                                                  : ExitStatus::Success);
}

INSTANTIATE_TEST_SUITE_P(Pages, PageTest, ::testing::ValuesIn(kPages),
                         [](const auto& info) { return std::string(info.param.name); });

// (A product not installed, or installed wrongly, stops before any page too: the installed state's rows and the
// end-to-end road's.)
TEST_F(WizardTest, AFailedMessageRegistrationStopsBeforeAnyPage) {
  // The registration is asked up to ten times while it answers 0, and the tenth fails whatever it gave.
  fake.messages.registerResults = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0xC124};
  Answer({Mb::Yes});
  EXPECT_EQ(Start().CurrentPage, 0);
  EXPECT_EQ(fake.messages.registerCalls, 10);
  ASSERT_EQ(BoxesShown(), 1u);
  EXPECT_NE(fake.messageBox.shown[0].prompt.find("The error number is -2147220504\r\nThe string describing this "
                                                 "error is:\r\n\"Couldn't register window messages.\"\r\nThe error "
                                                 "occurred in Module h0002"),
            std::string::npos);
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
    EXPECT_EQ(VisibleFrames(), std::vector<Ctl>{Ctl::frMain0}) << "page " << page;
  }
}

TEST_F(WizardTest, NextAfterAnUpdateErrorChecksAgainAndTheErrorDeletesTheDownloads) {
  frmMain& f = Start();
  const std::string downloaded = dir.File("updchk.ndf");
  WriteFileBytes(downloaded, "x");
  f.ComponentTable[0].sDownloadedFile = dir.Program("updchk.ndf");
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

// Which pages ask before closing, and whether the download is stopped. A
// missing installer makes Cancel close at once.
struct ExitRow {
  int page;
  const char* cancelCaption;
  bool installer, asks, stops;
};
void PrintTo(const ExitRow& r, std::ostream* os) { *os << "page " << r.page << " cancel '" << r.cancelCaption << "'"; }

class ExitTest : public WizardTest, public ::testing::WithParamInterface<ExitRow> {};

TEST_P(ExitTest, CancelAsksExactlyWhereItShould) {
  const ExitRow row = GetParam();
  shell.installerPresent = row.installer;
  frmMain& f = Start();
  f.CurrentPage = row.page;
  window.Control(Ctl::Cmd2).SetCaption(row.cancelCaption);
  Answer({Mb::No, Mb::Yes});
  f.Cmd_Click(2);
  EXPECT_EQ(window.Unloaded(), !row.asks);  // No keeps the wizard as it was
  EXPECT_EQ(Caption(Ctl::Label1_3) == "Download stopped", !row.asks && row.stops);
  if (row.asks) f.Cmd_Click(2);
  EXPECT_TRUE(window.Unloaded());
  EXPECT_EQ(Caption(Ctl::Label1_3) == "Download stopped", row.stops);
  const std::string question =
      "Larkspire AutoUpdate has not completed.\r\n\r\nAre you sure you want to exit Larkspire "
      "AutoUpdate? " +
      std::to_string(Mb::YesNo | Mb::Question | Mb::DefaultButton2) + "|";
  std::string boxes;
  for (const ShownMessage& m : fake.messageBox.shown) boxes += m.prompt + " " + std::to_string(m.buttons) + "|";
  EXPECT_EQ(boxes, row.asks ? question + question : "");
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Pages, ExitTest, ::testing::Values(
    ExitRow{1, "&Cancel", true, false, false}, ExitRow{2, "&Cancel", true, true, false}, ExitRow{3, "&Cancel", true, true, false},
    ExitRow{4, "&Cancel", true, true, true}, ExitRow{5, "&Cancel", true, true, true}, ExitRow{5, "Finished", true, false, true},
    ExitRow{6, "&Cancel", true, true, true}, ExitRow{7, "&Cancel", true, true, false}, ExitRow{7, "Finished", true, true, false},
    ExitRow{2, "&Cancel", false, false, false}));
// clang-format on
TEST_F(WizardTest, TheFocusGoesToNextOrElsePreviousAndNeverToWhatCannotTakeIt) {
  frmMain& f = Start();
  window.Control(Ctl::Cmd1).SetEnabled(false);
  window.Control(Ctl::Cmd0).SetEnabled(true);
  f.ShowFrame(3);
  EXPECT_EQ(Focused(), Ctl::Cmd0);
  window.Control(Ctl::cmdLoad1).SetVisible(false);
  window.Control(Ctl::cmdLoad0).SetEnabled(false);
  f.SetFocusSafe(Ctl::cmdLoad1);
  f.SetFocusSafe(Ctl::cmdLoad0);
  EXPECT_EQ(Focused(), Ctl::Cmd0);
}
}  // namespace
