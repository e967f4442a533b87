// The download controller on the fake platform: a scripted read service,
// a clock the test sets and timers the test fires.
#include <gtest/gtest.h>

#include <filesystem>

#include "fakes/fake_transfer.hpp"
#include "platform/common/profile_file_reader.hpp"
#include "wizard/wizard_fixture.hpp"

namespace {
const std::string kInfoUrl = "http://updates.test:8731/browser/updchk.ndf";
const std::string kSetupUrl = "http://updates.test:8731/dl/setup.msi";
const char* const kStopQuestion = "Are you sure you want to stop this download?";
const char* const kCorrupt = "The downloaded file was corrupt.";

// An update-information file that offers the setup package and a newer
// "quillon" to the product the fixture installs.
std::string GoodCatalog() {
  std::string body = "[setup]\r\nsize=@SIZE@\r\nenabled=1\r\nurl=" + kSetupUrl +
                     "\r\ncrc=cbf43926\r\n"
                     "[larkspire]\r\nenabled=1\r\nversion=3.02.0012\r\n"
                     "[rillgauge]\r\nenabled=1\r\n"
                     "[quillon]\r\nenabled=1\r\nversion=1.00.0002\r\n"
                     "[palvetta]\r\nenabled=0\r\n"
                     "[qvmpanel]\r\nenabled=1\r\n"
                     "[qvmclock]\r\nenabled=1\r\n";
  // The size counts its own digits.
  std::size_t size = body.size() - 6;
  for (int i = 0; i < 3; ++i) size = body.size() - 6 + std::to_string(size).size();
  body.replace(body.find("@SIZE@"), 6, std::to_string(size));
  return body;
}

class DownloadControllerTest : public WizardTest {
 protected:
  ~DownloadControllerTest() override { form.reset(); }  // the control leaves the reader first

  // A main window with the scripted reader and clock, on the Welcome page.
  frmMain& Open() {
    form = std::make_unique<frmMain>(fake.Services(), "updates.test:8731");
    form->Form_Load();
    return *form;
  }

  // Welcome, Next, Next: the check page fetches the update-information file.
  frmMain& OnCheckPage() {
    Open();
    form->Cmd_Click(1);
    form->Cmd_Click(1);
    return *form;
  }

  // The download page of a table that offers the setup package.
  frmMain& OnDownloadPage() {
    Open();
    form->ComponentTable.resize(2);
    form->ComponentTable[1].sSourceUrl = kSetupUrl;
    form->ComponentTable[1].sFileName = "setup.msi";
    form->ComponentTable[1].sCrc = "CBF43926";
    form->CurrentPage = PageResult;
    form->Cmd_Click(1);
    return *form;
  }

  // The data has begun to arrive, with the clock at start.
  void Receiving(const std::string& key, double start = 100) {
    clock.now = start;
    reader.Progress(key, AsyncStatus::BeginDownloadData, 0, 655360);
  }

  // A file in the test's folder; returns its path in the program's form.
  std::string MakeFile(const std::string& name, const std::string& bytes) {
    WriteFileBytes(dir.File(name), bytes);
    return PosixFileSystem::FromNative(dir.File(name));
  }

  std::string Info(int i) { return Caption(lblInfo(i)); }
  bool Focused(Ctl id) { return window.Focused() == &window.Ctrl(id); }
  std::vector<std::string> AllInfo() { return {Info(0), Info(1), Info(2), Info(3)}; }

  void ExpectStoppedView() {
    EXPECT_EQ(Caption(Ctl::Label1_3), "Download stopped");
    EXPECT_EQ(AllInfo(), std::vector<std::string>(4, ""));
    EXPECT_EQ(Caption(Ctl::lblLoad), "0");
    ASSERT_FALSE(window.picLoad.calls.empty());
    EXPECT_EQ(window.picLoad.calls.back().op, "Cls");
    EXPECT_FALSE(Enabled(Ctl::picLoad));
    EXPECT_FALSE(Enabled(cmdLoad(0)));
    EXPECT_TRUE(Enabled(cmdLoad(1)));
    EXPECT_FALSE(Enabled(Ctl::Cmd0));
    EXPECT_FALSE(Enabled(Ctl::Cmd1));
    EXPECT_TRUE(Enabled(Ctl::Cmd2));
    EXPECT_FALSE(window.tmrStatus.enabled);
    EXPECT_TRUE(Focused(cmdLoad(1)));
  }

  FakeAsyncReadService& reader = fake.reader;
  FakeClock& clock = fake.clock;
};

using Texts = std::vector<std::string>;

// ---- starting a transfer ----

TEST_F(DownloadControllerTest, CheckPageResetsTheStatusViewAndFetchesTheUpdateInformationFile) {
  Open();
  form->Cmd_Click(1);
  window.Ctrl(lblInfo(1)).SetCaption("stale");
  window.Ctrl(cmdLoad(1)).SetEnabled(true);
  form->Cmd_Click(1);
  EXPECT_EQ(form->CurrentPage, PageCheck);
  EXPECT_EQ(window.VisibleFrames(), std::vector<Ctl>{Ctl::frMain3});
  EXPECT_EQ(Caption(Ctl::Label1_3), "Attempting to connect to updates.test:8731");
  EXPECT_EQ(Caption(Ctl::Label2_3), "Percent of download complete:");
  EXPECT_EQ((Texts{Caption(lblStatus(0)), Caption(lblStatus(1)), Caption(lblStatus(2)), Caption(lblStatus(3))}),
            (Texts{"Download status:", "Time remaining:", "Time elapsed:", "Transfer rate:"}));
  EXPECT_EQ(AllInfo(), Texts(4, ""));
  EXPECT_EQ(Caption(Ctl::lblLoad), "0");
  EXPECT_TRUE(Enabled(Ctl::picLoad));
  EXPECT_FALSE(Enabled(Ctl::Cmd0));
  EXPECT_FALSE(Enabled(Ctl::Cmd1));
  EXPECT_TRUE(Enabled(cmdLoad(0)));
  EXPECT_FALSE(Enabled(cmdLoad(1)));
  EXPECT_TRUE(Focused(cmdLoad(0)));
  EXPECT_EQ(fake.messages.broadcasts.size(), 1u);
  ASSERT_EQ(reader.reads.size(), 1u);
  EXPECT_EQ(reader.reads[0].target, kInfoUrl);
  EXPECT_EQ(reader.reads[0].propertyName, kInfoUrl);
  EXPECT_EQ(reader.reads[0].asyncType, 1);
  EXPECT_EQ(reader.reads[0].options, 16);
  EXPECT_EQ(form->Transfer.CurrentIndex, 0);
}

TEST_F(DownloadControllerTest, CheckPageStartsNothingWhenTheRunningProgramsCannotBeTold) {
  Open();
  form->Cmd_Click(1);
  fake.messages.broadcastFails = true;
  form->Cmd_Click(1);
  EXPECT_TRUE(reader.reads.empty());
  // The user is told, and left on the stopped view with Retry.
  EXPECT_EQ(dialogs.shownTexts, Texts{"The running Larkspire programs could not be told to close."});
  ExpectStoppedView();
}

TEST_F(DownloadControllerTest, CheckPageDeletesEarlierDownloadsBeforeTheFetch) {
  Open();
  form->Cmd_Click(1);
  const std::string old = MakeFile("old.ndf", "old");
  fake.files.SetAttr(old, Attr::ReadOnly | Attr::Hidden);
  form->ComponentTable[0].sDownloadedFile = old;
  form->Cmd_Click(1);
  EXPECT_FALSE(std::filesystem::exists(dir.File("old.ndf")));
  EXPECT_TRUE(form->ComponentTable[0].sDownloadedFile.empty());
  EXPECT_EQ(reader.reads.size(), 1u);
}

TEST_F(DownloadControllerTest, DownloadPageFetchesThePackageAsEntry1) {
  OnDownloadPage();
  EXPECT_EQ(form->CurrentPage, PageDownload);
  EXPECT_EQ(form->Transfer.CurrentIndex, 1);
  ASSERT_EQ(reader.reads.size(), 1u);
  EXPECT_EQ(reader.reads[0].target, kSetupUrl);
  EXPECT_EQ(reader.reads[0].propertyName, kSetupUrl);
  EXPECT_EQ(Caption(Ctl::Label1_3), "Attempting to connect to updates.test:8731");
  EXPECT_TRUE(Focused(cmdLoad(0)));
}

TEST_F(DownloadControllerTest, TransferThatCannotStartEndsInTheErrorDialogAndTheStoppedView) {
  reader.refuseStart = true;
  OnCheckPage();
  EXPECT_EQ(dialogs.shownTexts, Texts{"The URL does not use a recognized protocol."});
  ExpectStoppedView();
  EXPECT_EQ(reader.cancels, Texts{kInfoUrl});
}

// ---- deleting downloaded files ----

TEST_F(DownloadControllerTest, DeleteLocalFileRemovesAProtectedFile) {
  Open();
  const std::string file = MakeFile("lkd1.tmp", "data");
  fake.files.SetAttr(file, Attr::ReadOnly | Attr::Hidden);
  EXPECT_TRUE(form->Transfer.DeleteLocalFile(file));
  EXPECT_FALSE(std::filesystem::exists(dir.File("lkd1.tmp")));
}

TEST_F(DownloadControllerTest, DeleteLocalFileOfNothingSucceeds) {
  Open();
  EXPECT_TRUE(form->Transfer.DeleteLocalFile(PosixFileSystem::FromNative(dir.File("never-made.tmp"))));
  EXPECT_TRUE(form->Transfer.DeleteLocalFile(""));
}

TEST_F(DownloadControllerTest, DeleteLocalFileThatFailsGivesFalse) {
  Open();
  std::filesystem::create_directory(dir.File("a-folder"));
  EXPECT_FALSE(form->Transfer.DeleteLocalFile(PosixFileSystem::FromNative(dir.File("a-folder"))));
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("a-folder")));
}

TEST_F(DownloadControllerTest, DeleteDownloadedFilesEmptiesEveryEntry) {
  Open();
  form->ComponentTable.resize(4);
  form->ComponentTable[0].sDownloadedFile = MakeFile("info.ndf", "i");
  form->ComponentTable[1].sDownloadedFile = MakeFile("setup.tmp", "s");
  form->ComponentTable[3].sDownloadedFile = PosixFileSystem::FromNative(dir.File("gone-already"));
  fake.files.SetAttr(form->ComponentTable[1].sDownloadedFile, Attr::ReadOnly | Attr::Hidden);
  form->Transfer.DeleteDownloadedFiles();
  for (const UpdateComponent& entry : form->ComponentTable) EXPECT_TRUE(entry.sDownloadedFile.empty());
  EXPECT_FALSE(std::filesystem::exists(dir.File("info.ndf")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("setup.tmp")));
  // Entries keep everything else.
  EXPECT_EQ(form->ComponentTable[0].sSourceUrl, kInfoUrl);
}

// ---- the status line ----

TEST_F(DownloadControllerTest, StatusLineFollowsTheServicesStages) {
  OnCheckPage();
  reader.Progress(kInfoUrl, AsyncStatus::FindingResource);
  EXPECT_EQ(Caption(Ctl::Label1_3), "Locating file...");
  reader.Progress(kInfoUrl, AsyncStatus::Connecting);
  EXPECT_EQ(Caption(Ctl::Label1_3), "Locating file...");  // connecting is not reported
  reader.Progress(kInfoUrl, AsyncStatus::SendingRequest);
  EXPECT_EQ(Caption(Ctl::Label1_3), "Sending request...");
  form->Transfer.ElapsedSeconds = 9;
  clock.now = 3723.25;
  reader.Progress(kInfoUrl, AsyncStatus::BeginDownloadData, 0, 1000);
  EXPECT_EQ(Caption(Ctl::Label1_3), "Downloading updchk.ndf");
  EXPECT_TRUE(window.tmrStatus.enabled);
  EXPECT_EQ(form->Transfer.ElapsedSeconds, 0);
  EXPECT_EQ(form->Transfer.TransferStart, 3723.25f);
  reader.Progress(kInfoUrl, AsyncStatus::EndDownloadData, 1000, 1000);
  EXPECT_EQ(Caption(Ctl::Label1_3), "Download completed successfully!");
  EXPECT_FALSE(window.tmrStatus.enabled);
}

struct StatusRow {
  std::int32_t status;
  const char* text;  // nullptr: the line keeps its caption
};

void PrintTo(const StatusRow& r, std::ostream* os) { *os << "status " << r.status; }

class StatusTextTest : public DownloadControllerTest, public ::testing::WithParamInterface<StatusRow> {};

TEST_P(StatusTextTest, SetsItsText) {
  OnCheckPage();
  window.Ctrl(Ctl::Label1_3).SetCaption("before");
  form->Transfer.htp_StatusChange("any key", GetParam().status);
  EXPECT_EQ(Caption(Ctl::Label1_3), GetParam().text ? GetParam().text : "before");
}

INSTANTIATE_TEST_SUITE_P(Table, StatusTextTest,
                         ::testing::Values(StatusRow{0, "Attempting to connect to updates.test:8731"},
                                           StatusRow{1, "Sending request..."}, StatusRow{2, "Locating file..."},
                                           StatusRow{3, "Downloading updchk.ndf"},
                                           StatusRow{4, "Download completed successfully!"},
                                           StatusRow{5, "Download stopped"}, StatusRow{6, nullptr},
                                           StatusRow{-1, nullptr}, StatusRow{11, nullptr}));

TEST_F(DownloadControllerTest, StatusesOutsideTheTableTouchNothing) {
  OnCheckPage();
  form->Transfer.htp_StatusChange(kInfoUrl, 3);
  form->Transfer.ElapsedSeconds = 4;
  form->Transfer.htp_StatusChange(kInfoUrl, 6);
  form->Transfer.htp_StatusChange(kInfoUrl, 99);
  EXPECT_TRUE(window.tmrStatus.enabled);
  EXPECT_EQ(form->Transfer.ElapsedSeconds, 4);
}

TEST_F(DownloadControllerTest, AllDataArrivedStopsTheElapsedCount) {
  OnCheckPage();
  form->Transfer.htp_StatusChange(kInfoUrl, 3);
  form->Transfer.ElapsedSeconds = 12;
  form->Transfer.htp_StatusChange(kInfoUrl, 4);
  EXPECT_FALSE(window.tmrStatus.enabled);
  EXPECT_EQ(form->Transfer.ElapsedSeconds, 0);
}

TEST_F(DownloadControllerTest, StoppedStatusClearsTheCountAndTheStart) {
  OnCheckPage();
  clock.now = 500;
  form->Transfer.htp_StatusChange(kInfoUrl, 3);
  form->Transfer.ElapsedSeconds = 12;
  form->Transfer.htp_StatusChange(kInfoUrl, 5);
  EXPECT_FALSE(window.tmrStatus.enabled);
  EXPECT_EQ(form->Transfer.ElapsedSeconds, 0);
  EXPECT_EQ(form->Transfer.TransferStart, 0.0f);
}

TEST_F(DownloadControllerTest, LongFileNameIsShortenedInTheMiddleToTheStatusLine) {
  OnDownloadPage();
  // 84 characters of 100 twips; the line is 6715 twips less 240: 64 fit.
  const std::string name = std::string(40, 'a') + std::string(40, 'b') + ".msi";
  form->ComponentTable[1].sFileName = name;
  reader.Progress(kSetupUrl, AsyncStatus::BeginDownloadData);
  EXPECT_EQ(Caption(Ctl::Label1_3), "Downloading " + std::string(32, 'a') + "..." + std::string(28, 'b') + ".msi");
}

// ---- the figures ----

// The four figures and the bar for one progress notification: received,
// time remaining, rate, percent.
struct FiguresRow {
  const char* name;
  double start, now;  // the clock when data began, and now
  int read, max;
  const char* received;
  const char* remaining;
  const char* rate;
  const char* percent;
};
void PrintTo(const FiguresRow& r, std::ostream* os) { *os << r.name; }

class FiguresTest : public DownloadControllerTest, public ::testing::WithParamInterface<FiguresRow> {};

TEST_P(FiguresTest, ShowsTheFigures) {
  const FiguresRow& r = GetParam();
  OnCheckPage();
  Receiving(kInfoUrl, r.start);
  clock.now = r.now;
  reader.Progress(kInfoUrl, 5, r.read, r.max);
  EXPECT_EQ(Info(0), r.received);
  EXPECT_EQ(Info(1), r.remaining);
  EXPECT_EQ(Info(2), "0:00");
  EXPECT_EQ(Info(3), r.rate);
  EXPECT_EQ(Caption(Ctl::lblLoad), r.percent);
  const auto fills = window.picLoad.Calls("FillBox");
  ASSERT_FALSE(fills.empty());
  EXPECT_FLOAT_EQ(fills.back().args[2], 6715.0f / 100 * std::stof(r.percent));
}

INSTANTIATE_TEST_SUITE_P(Figures, FiguresTest,
                         ::testing::Values(
                             // 6.25 KB/s; 627.5 KB to go: 100.4 s.
                             FiguresRow{"KnownInputs", 100, 102, 12800, 655360, "12.50 KB of 640.00 KB", "1:40 minutes",
                                        "6.25 Kbps", "2"},
                             // 0.25 KB/s measured counts as 1: 60 KB to go take a minute.
                             FiguresRow{"RateBelowOneCountsAsOne", 100, 102, 512, 61952, "0.50 KB of 60.50 KB",
                                        "1:00 minutes", "1.00 Kbps", "1"},
                             FiguresRow{"FirstSecondCountsAsOne", 100, 100.25, 10240, 20480, "10.00 KB of 20.00 KB",
                                        "0:01 minutes", "10.00 Kbps", "50"},
                             FiguresRow{"ClockPastMidnightCountsAsOneSecond", 86399.5, 0.5, 10240, 20480,
                                        "10.00 KB of 20.00 KB", "0:01 minutes", "10.00 Kbps", "50"},
                             FiguresRow{"WholeAmountFullBarNothingRemaining", 100, 104, 655360, 655360,
                                        "640.00 KB of 640.00 KB", "0.00", "160.00 Kbps", "100"}),
                         [](const ::testing::TestParamInfo<FiguresRow>& info) { return std::string(info.param.name); });

TEST_F(DownloadControllerTest, NoLengthAnnouncedLeavesTheFiguresEmpty) {
  OnCheckPage();
  Receiving(kInfoUrl, 100);
  reader.Progress(kInfoUrl, 4, 0, 0);
  clock.now = 103;
  reader.Progress(kInfoUrl, 5, 5000, 0);
  reader.Progress(kInfoUrl, 5, 9000, -1);
  EXPECT_EQ(AllInfo(), Texts(4, ""));
  EXPECT_EQ(Caption(Ctl::lblLoad), "0");
  EXPECT_TRUE(window.picLoad.Calls("FillBox").empty());
  // Only the status line and the elapsed time change.
  EXPECT_EQ(Caption(Ctl::Label1_3), "Downloading updchk.ndf");
  form->tmrStatus_Timer();
  EXPECT_EQ(Info(2), "0:01 minutes");
}

TEST_F(DownloadControllerTest, ElapsedShowsZeroUntilTheFirstTickThenCountsSeconds) {
  OnCheckPage();
  Receiving(kInfoUrl, 100);
  EXPECT_EQ(Info(2), "");
  reader.Progress(kInfoUrl, 5, 100, 1000);
  EXPECT_EQ(Info(2), "0:00");
  form->tmrStatus_Timer();
  EXPECT_EQ(Info(2), "0:01 minutes");
  form->tmrStatus_Timer();
  EXPECT_EQ(Info(2), "0:02 minutes");
  reader.Progress(kInfoUrl, 5, 200, 1000);
  EXPECT_EQ(Info(2), "0:02 minutes");
  EXPECT_EQ(form->Transfer.ElapsedSeconds, 2);
  form->Transfer.ElapsedSeconds = 3599;
  form->tmrStatus_Timer();
  EXPECT_EQ(Info(2), "1:00:00 hours");
}

TEST_F(DownloadControllerTest, ProgressOfNothingChangesNothing) {
  OnCheckPage();
  Receiving(kInfoUrl, 100);
  clock.now = 102;
  form->Transfer.htp_ProgressChange(kInfoUrl, 0, 655360);
  EXPECT_EQ(AllInfo(), Texts(4, ""));
  EXPECT_TRUE(window.picLoad.Calls("FillBox").empty());
}

TEST_F(DownloadControllerTest, AnErrorInTheProgressHandlerIsReportedAs0008AndTheTransferGoesOn) {
  OnCheckPage();
  Receiving(kInfoUrl, 100);
  clock.now = 102;
  reader.Progress(kInfoUrl, 5, 12800, 655360);
  const Texts before = AllInfo();
  Answer({Mb::Yes});
  // 2^31 bytes against 1: the percentage overflows a 32-bit whole number.
  form->Transfer.htp_ProgressChange(kInfoUrl, 2147483648.0f, 1);
  ASSERT_EQ(BoxesShown(), 1u);
  const ShownMessage& box = fake.messageBox.shown[0];
  EXPECT_NE(box.prompt.find("The error number is 6\r\n"), std::string::npos) << box.prompt;
  EXPECT_NE(box.prompt.find("The error occurred in Module h0008\r\n"), std::string::npos) << box.prompt;
  EXPECT_EQ(box.title, "Larkspire AutoUpdate - Error");
  EXPECT_EQ(form->Errors.ErrorCount, 1);
  // The view keeps its last figures and nothing is stopped.
  EXPECT_EQ(AllInfo(), before);
  EXPECT_EQ(Caption(Ctl::Label1_3), "Downloading updchk.ndf");
  EXPECT_TRUE(reader.cancels.empty());
  EXPECT_TRUE(reader.running.count(kInfoUrl));
  EXPECT_TRUE(dialogs.shownTexts.empty());
  reader.Progress(kInfoUrl, 5, 655360, 655360);
  EXPECT_EQ(Info(0), "640.00 KB of 640.00 KB");
}

// ---- Stop and Retry ----

TEST_F(DownloadControllerTest, StopAsksAndYesStopsTheTransfer) {
  OnCheckPage();
  const std::string earlier = MakeFile("earlier.ndf", "x");
  form->ComponentTable[0].sDownloadedFile = earlier;
  Receiving(kInfoUrl, 100);
  clock.now = 102;
  reader.Progress(kInfoUrl, 5, 12800, 655360);
  Answer({Mb::Yes});
  form->cmdLoad_Click(0);
  ASSERT_EQ(BoxesShown(), 1u);
  EXPECT_EQ(fake.messageBox.shown[0].prompt, kStopQuestion);
  // The system's default button, the first (Yes).
  EXPECT_EQ(fake.messageBox.shown[0].buttons, Mb::YesNo | Mb::Question);
  EXPECT_EQ(fake.messageBox.shown[0].title, "Larkspire AutoUpdate");
  ExpectStoppedView();
  EXPECT_EQ(reader.cancels, Texts{kInfoUrl});
  EXPECT_TRUE(reader.running.empty());
  EXPECT_FALSE(std::filesystem::exists(dir.File("earlier.ndf")));
  EXPECT_TRUE(form->ComponentTable[0].sDownloadedFile.empty());
  // The cancelled fetch delivers nothing more.
  EXPECT_FALSE(reader.Progress(kInfoUrl, 5, 20000, 655360));
  EXPECT_TRUE(dialogs.shownTexts.empty());
}

TEST_F(DownloadControllerTest, StopAnsweredNoLetsTheTransferGoOn) {
  OnCheckPage();
  Receiving(kInfoUrl, 100);
  clock.now = 102;
  reader.Progress(kInfoUrl, 5, 12800, 655360);
  const Texts before = AllInfo();
  Answer({Mb::No});
  form->cmdLoad_Click(0);
  EXPECT_EQ(BoxesShown(), 1u);
  EXPECT_TRUE(reader.cancels.empty());
  EXPECT_EQ(AllInfo(), before);
  EXPECT_TRUE(Enabled(cmdLoad(0)));
  EXPECT_FALSE(Enabled(cmdLoad(1)));
  EXPECT_TRUE(window.tmrStatus.enabled);
  reader.Progress(kInfoUrl, 5, 655360, 655360);
  EXPECT_EQ(Info(1), "0.00");
}

TEST_F(DownloadControllerTest, StopConfirmedAfterTheFileArrivedHandsNothingOver) {
  OnCheckPage();
  // The transfer ends while the stop question is open.
  reader.Complete(kInfoUrl, MakeFile("lkd1.tmp", GoodCatalog()));
  ASSERT_TRUE(window.tmrDownload.enabled);
  Answer({Mb::Yes});
  form->cmdLoad_Click(0);
  EXPECT_FALSE(window.tmrDownload.enabled);
  ExpectStoppedView();
  EXPECT_FALSE(std::filesystem::exists(dir.File("lkd1.tmp")));
  EXPECT_EQ(form->CurrentPage, PageCheck);
}

struct RetryRow {
  int page;
  const char* fetched;  // nullptr: nothing is fetched
};

void PrintTo(const RetryRow& r, std::ostream* os) { *os << "page " << r.page; }

class RetryTest : public DownloadControllerTest, public ::testing::WithParamInterface<RetryRow> {};

TEST_P(RetryTest, FetchesThePagesFileAgainAndEndsOnCancel) {
  OnDownloadPage();
  reader.Fail(kSetupUrl, 12029, "The server refused the connection.");
  ExpectStoppedView();
  reader.reads.clear();
  form->CurrentPage = GetParam().page;
  form->cmdLoad_Click(1);
  EXPECT_EQ(BoxesShown(), 0u);  // Retry asks nothing
  if (GetParam().fetched) {
    ASSERT_EQ(reader.reads.size(), 1u);
    EXPECT_EQ(reader.reads[0].target, GetParam().fetched);
    EXPECT_EQ(Caption(Ctl::Label1_3), "Attempting to connect to updates.test:8731");
  } else {
    EXPECT_TRUE(reader.reads.empty());
    EXPECT_EQ(Caption(Ctl::Label1_3), "Download stopped");
  }
  EXPECT_TRUE(Enabled(cmdLoad(0)));
  EXPECT_FALSE(Enabled(cmdLoad(1)));
  EXPECT_TRUE(Focused(Ctl::Cmd2));
}

INSTANTIATE_TEST_SUITE_P(Pages, RetryTest,
                         ::testing::Values(RetryRow{PageCheck, kInfoUrl.c_str()},
                                           RetryRow{PageRecheck, kInfoUrl.c_str()},
                                           RetryRow{PageDownload, kSetupUrl.c_str()}, RetryRow{PageResult, nullptr},
                                           RetryRow{PageReady, nullptr}));

// ---- Cancel in each state ----

struct CancelRow {
  const char* name;
  int page;
  bool stoppedFirst;  // the transfer had already failed
  int answer;
  bool cancelsTheFetch;
  bool closes;
};

void PrintTo(const CancelRow& r, std::ostream* os) { *os << r.name; }

class CancelTest : public DownloadControllerTest, public ::testing::WithParamInterface<CancelRow> {};

TEST_P(CancelTest, AsksAndStopsOnlyWhereTheWizardSaysSo) {
  const CancelRow& row = GetParam();
  const std::string key = row.page == PageDownload ? kSetupUrl : kInfoUrl;
  if (row.page == PageDownload) {
    OnDownloadPage();
  } else {
    OnCheckPage();
    form->CurrentPage = row.page;
  }
  Receiving(key, 100);
  if (row.stoppedFirst) reader.Fail(key, 12030, "The server closed the connection.");
  reader.cancels.clear();
  const std::size_t boxes = BoxesShown();
  Answer({row.answer});
  form->Cmd_Click(2);
  ASSERT_EQ(BoxesShown(), boxes + 1);
  EXPECT_EQ(fake.messageBox.shown.back().prompt,
            "Larkspire AutoUpdate has not completed.\r\n\r\nAre you sure you want to exit Larkspire AutoUpdate?");
  EXPECT_EQ(!reader.cancels.empty(), row.cancelsTheFetch);
  if (row.cancelsTheFetch) {
    EXPECT_EQ(reader.cancels, Texts{key});
  }
  EXPECT_EQ(reader.running.count(key) == 1, !row.stoppedFirst && !row.cancelsTheFetch);
  EXPECT_EQ(window.unloadCount, row.closes ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    States, CancelTest,
    ::testing::Values(CancelRow{"CheckPageReceivingYes", PageCheck, false, Mb::Yes, false, true},
                      CancelRow{"CheckPageReceivingNo", PageCheck, false, Mb::No, false, false},
                      CancelRow{"RecheckPageReceivingYes", PageRecheck, false, Mb::Yes, true, true},
                      CancelRow{"RecheckPageReceivingNo", PageRecheck, false, Mb::No, false, false},
                      CancelRow{"DownloadPageReceivingYes", PageDownload, false, Mb::Yes, true, true},
                      CancelRow{"DownloadPageReceivingNo", PageDownload, false, Mb::No, false, false},
                      CancelRow{"DownloadPageStoppedYes", PageDownload, true, Mb::Yes, true, true},
                      CancelRow{"CheckPageStoppedYes", PageCheck, true, Mb::Yes, false, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DownloadControllerTest, CancelOnTheDownloadPageDeletesTheDownloadedFiles) {
  OnDownloadPage();
  const std::string info = MakeFile("updchk.ndf", "info");
  form->ComponentTable[0].sDownloadedFile = info;
  Answer({Mb::Yes});
  form->Cmd_Click(2);
  EXPECT_FALSE(std::filesystem::exists(dir.File("updchk.ndf")));
  EXPECT_EQ(Caption(Ctl::Label1_3), "Download stopped");
}

// ---- the completion and its deferral ----

TEST_F(DownloadControllerTest, CompletionPausesMarksAndStoresTheFileThenArmsTheDeferral) {
  OnCheckPage();
  Receiving(kInfoUrl, 100);
  reader.Progress(kInfoUrl, AsyncStatus::EndDownloadData, 655360, 655360);
  const std::string file = MakeFile("lkd1.tmp", GoodCatalog());
  const std::uint32_t sleptBefore = events.slept;
  reader.Complete(kInfoUrl, file);
  EXPECT_EQ(events.slept - sleptBefore, 500u);
  EXPECT_FALSE(Enabled(cmdLoad(0)));
  EXPECT_FALSE(Enabled(cmdLoad(1)));
  EXPECT_FALSE(window.tmrStatus.enabled);
  EXPECT_EQ(fake.files.GetAttr(file), Attr::ReadOnly | Attr::Hidden);
  EXPECT_EQ(form->ComponentTable[0].sDownloadedFile, file);
  EXPECT_TRUE(window.tmrDownload.enabled);
  EXPECT_EQ(window.tmrDownload.interval, 500);
  // Nothing is handed over inside the notification.
  EXPECT_EQ(form->CurrentPage, PageCheck);
  EXPECT_TRUE(dialogs.shownTexts.empty());
}

TEST_F(DownloadControllerTest, CompletionThatIsNotALocalFileIsACorruptDownload) {
  OnCheckPage();
  const std::string file = MakeFile("lkd1.tmp", "data");
  reader.Complete(kInfoUrl, file, 0);
  EXPECT_EQ(dialogs.shownTexts, Texts{kCorrupt});
  ExpectStoppedView();
  EXPECT_FALSE(window.tmrDownload.enabled);
  EXPECT_TRUE(form->ComponentTable[0].sDownloadedFile.empty());
}

TEST_F(DownloadControllerTest, DeliveredFileThatCannotBeTakenIsNotKept) {
  OnCheckPage();
  const std::string file = MakeFile("lkd1.tmp", "data");
  form->Transfer.CurrentIndex = 7;  // no entry to hold it
  reader.Complete(kInfoUrl, file);
  EXPECT_EQ(dialogs.shownTexts, Texts{kCorrupt});
  EXPECT_FALSE(std::filesystem::exists(PosixFileSystem::ToNative(file)));
}

TEST_F(DownloadControllerTest, CompletionWhoseFileIsMissingIsACorruptDownload) {
  OnCheckPage();
  reader.Complete(kInfoUrl, PosixFileSystem::FromNative(dir.File("never-made.tmp")));
  EXPECT_EQ(events.slept, 500u);
  EXPECT_EQ(dialogs.shownTexts, Texts{kCorrupt});
  ExpectStoppedView();
  EXPECT_FALSE(window.tmrDownload.enabled);
}

TEST_F(DownloadControllerTest, DeferralHandsTheInformationFileToTheCatalog) {
  OnCheckPage();
  const std::string file = MakeFile("lkd1.tmp", GoodCatalog());
  reader.Complete(kInfoUrl, file);
  form->tmrDownload_Timer();
  EXPECT_FALSE(window.tmrDownload.enabled);
  EXPECT_EQ(form->CurrentPage, PageResult);
  ASSERT_EQ(form->ComponentTable.size(), 3u);
  EXPECT_EQ(form->ComponentTable[1].sSourceUrl, kSetupUrl);
  EXPECT_EQ(form->ComponentTable[2].sFileName, "quillon");
  EXPECT_EQ(window.picture1.Calls("Print").back().text, "Updates Available");
  EXPECT_TRUE(dialogs.shownTexts.empty());
}

TEST_F(DownloadControllerTest, DeferralOfAnUnusableInformationFileIsTheCatalogsErrorPageNotATransferError) {
  OnCheckPage();
  const std::string file = MakeFile("lkd1.tmp", "not a profile file");
  reader.Complete(kInfoUrl, file);
  form->tmrDownload_Timer();
  EXPECT_EQ(form->CurrentPage, PageResult);
  EXPECT_EQ(window.picture1.Calls("Print").back().text, "Update Error");
  EXPECT_TRUE(dialogs.shownTexts.empty());
  EXPECT_FALSE(std::filesystem::exists(dir.File("lkd1.tmp")));
}

TEST_F(DownloadControllerTest, DeferralOfAGoodPackageMovesToTheReadyPage) {
  OnDownloadPage();
  const std::string file = MakeFile("lkd2.tmp", "123456789");  // CRC-32 CBF43926
  reader.Complete(kSetupUrl, file);
  form->tmrDownload_Timer();
  EXPECT_FALSE(window.tmrDownload.enabled);
  EXPECT_EQ(form->CurrentPage, PageReady);
  EXPECT_EQ(window.VisibleFrames(), std::vector<Ctl>{Ctl::frMain4});
  EXPECT_EQ(Caption(Ctl::Cmd1), "Install");
  EXPECT_EQ(ReadFileBytes(dir.File("setup.msi")), "123456789");
  EXPECT_TRUE(dialogs.shownTexts.empty());
}

TEST_F(DownloadControllerTest, DeferralOfACorruptPackageStopsWithTheCorruptText) {
  OnDownloadPage();
  const std::string file = MakeFile("lkd2.tmp", "123456780");
  reader.Complete(kSetupUrl, file);
  form->tmrDownload_Timer();
  EXPECT_EQ(dialogs.shownTexts, Texts{kCorrupt});
  ExpectStoppedView();
  EXPECT_EQ(reader.cancels, Texts{kSetupUrl});
  EXPECT_EQ(form->CurrentPage, PageDownload);
  EXPECT_FALSE(std::filesystem::exists(dir.File("lkd2.tmp")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("setup.msi")));
  EXPECT_TRUE(form->ComponentTable[1].sDownloadedFile.empty());
}

// ---- failures ----

struct FailureRow {
  const char* description;
  const char* shown;
};

void PrintTo(const FailureRow& r, std::ostream* os) { *os << r.description; }

class TransferFailureTest : public DownloadControllerTest, public ::testing::WithParamInterface<FailureRow> {};

TEST_P(TransferFailureTest, StopsAndShowsTheDescribedTextInTheErrorDialog) {
  OnCheckPage();
  Receiving(kInfoUrl, 100);
  clock.now = 101;
  reader.Progress(kInfoUrl, 5, 1024, 2048);
  reader.Fail(kInfoUrl, 1, GetParam().description);
  EXPECT_EQ(dialogs.shownTexts, Texts{GetParam().shown});
  ExpectStoppedView();
  EXPECT_TRUE(reader.running.empty());
  EXPECT_EQ(form->Transfer.TransferStart, 0.0f);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TransferFailureTest,
    ::testing::Values(FailureRow{"The handle is invalid.", "The url could not be found."},
                      FailureRow{"The access code is invalid.",
                                 "Unable to complete the download of this file. Please click Retry."},
                      FailureRow{"Not enough storage is available to process this command.",
                                 "Unable to complete the download of this file. Please click Retry."},
                      FailureRow{"The server name or address could not be resolved",
                                 "The server name or address could not be resolved."},
                      FailureRow{"The server closed the connection before the download was complete.",
                                 "The server closed the connection before the download was complete."}));

TEST_F(DownloadControllerTest, ServerNameFailureWithoutAConnectionAddsTheHint) {
  OnCheckPage();
  connection.flags = 0;
  reader.Fail(kInfoUrl, 12007, "The server name or address could not be resolved");
  EXPECT_EQ(dialogs.shownTexts,
            Texts{"The server name or address could not be resolved. This could be a result of no Internet "
                  "connection."});
}

TEST_F(DownloadControllerTest, CompletionWithoutDataShowsItsErrorAndStops) {
  OnCheckPage();
  reader.CompleteWithError(kInfoUrl, 12030, "The connection was reset");
  EXPECT_EQ(dialogs.shownTexts, Texts{"The connection was reset."});
  ExpectStoppedView();
  EXPECT_EQ(events.slept, 0u);
}

TEST_F(DownloadControllerTest, TheErrorDialogShowsTheWordingAndTheWizardsHelp) {
  OnCheckPage();
  std::string label1, label3, caption;
  dialogs.onShow = [&](FakeErrorDialogView& v) {
    label1 = v.Control(ErrCtl::Label1).Caption();
    label3 = v.Control(ErrCtl::Label3).Caption();
    caption = v.caption;
  };
  reader.Fail(kInfoUrl, 404, "The handle is invalid.");
  EXPECT_EQ(dialogs.shownTexts, Texts{"The url could not be found."});
  EXPECT_EQ(caption, "Larkspire AutoUpdate - Error");
  EXPECT_NE(label1.find("attempting to download the current file"), std::string::npos);
  EXPECT_NE(label3.find("Retry"), std::string::npos);
}

// ---- the whole road with fakes ----

TEST_F(DownloadControllerTest, CheckThenDownloadThenReady) {
  OnCheckPage();
  const std::string info = MakeFile("lkd1.tmp", GoodCatalog());
  for (std::int32_t code : {1, 2, 11}) reader.ScriptProgress(kInfoUrl, code);
  reader.ScriptProgress(kInfoUrl, 4, 0, 600);
  reader.ScriptProgress(kInfoUrl, 5, 300, 600);
  reader.ScriptProgress(kInfoUrl, 6, 600, 600);
  reader.ScriptComplete(kInfoUrl, info);
  reader.DeliverAll();
  EXPECT_EQ(Caption(Ctl::Label1_3), "Download completed successfully!");
  ASSERT_TRUE(window.tmrDownload.enabled);
  form->tmrDownload_Timer();
  ASSERT_EQ(form->CurrentPage, PageResult);

  form->Cmd_Click(1);
  ASSERT_EQ(form->CurrentPage, PageDownload);
  ASSERT_EQ(reader.reads.size(), 2u);
  EXPECT_EQ(reader.reads[1].target, kSetupUrl);
  // The update-information file went when the package's transfer began.
  EXPECT_FALSE(std::filesystem::exists(dir.File("lkd1.tmp")));
  const std::string package = MakeFile("lkd2.tmp", "123456789");
  reader.ScriptProgress(kSetupUrl, 4, 0, 9);
  reader.ScriptProgress(kSetupUrl, 6, 9, 9);
  reader.ScriptComplete(kSetupUrl, package);
  reader.DeliverAll();
  EXPECT_EQ(Caption(Ctl::Label1_3), "Download completed successfully!");
  form->tmrDownload_Timer();
  EXPECT_EQ(form->CurrentPage, PageReady);
  EXPECT_TRUE(dialogs.shownTexts.empty());
  EXPECT_EQ(BoxesShown(), 0u);
}

TEST_F(DownloadControllerTest, StopDuringTheYieldOfAProgressDropsTheRestOfTheFetch) {
  OnCheckPage();
  Receiving(kInfoUrl, 100);
  // The user's click on Stop runs while the control lets the window work.
  bool clicked = false;
  events.onDoEvents = [&] {
    if (clicked || reader.delivered < 3) return;
    clicked = true;
    Answer({Mb::Yes});
    form->cmdLoad_Click(0);
  };
  reader.ScriptProgress(kInfoUrl, 5, 100, 1000);
  reader.ScriptProgress(kInfoUrl, 5, 200, 1000);
  reader.ScriptProgress(kInfoUrl, 5, 300, 1000);
  reader.ScriptComplete(kInfoUrl, MakeFile("lkd1.tmp", "x"));
  const int before = reader.delivered;
  reader.DeliverAll();
  EXPECT_TRUE(clicked);
  EXPECT_EQ(reader.delivered - before, 2);
  ExpectStoppedView();
  EXPECT_FALSE(window.tmrDownload.enabled);
  EXPECT_TRUE(form->ComponentTable[0].sDownloadedFile.empty());
}
}  // namespace
