// The download controller on the fake platform: a read service the test
// drives, a clock it sets and timers it fires.
#include <gtest/gtest.h>

#include <filesystem>

#include "fakes/fake_transfer.hpp"
#include "wizard/wizard_fixture.hpp"

namespace {
using Strings = std::vector<std::string>;
const std::string kInfoUrl = "http://updates.test:8731/browser/updchk.ndf",
                  kSetupUrl = "http://updates.test:8731/dl/setup.msi";
const std::string kResolve = "The server name or address could not be resolved";
// Status views (see View).
const std::string kConnecting = "Attempting to connect to updates.test:8731|||||0|";
const std::string kReceiving = "Downloading updchk.ndf|12.50 KB of 640.00 KB|1:40 minutes|0:00|6.25 Kbps|2|";
const std::string kStopped = "Download stopped|||||0|@Retry Cancel ";

const auto kName = [](const auto& info) { return std::string(info.param.name); };

class DownloadControllerTest : public WizardTest {
 public:  // for the rows' scenarios
  using WizardTest::connection, WizardTest::dir, WizardTest::fake, WizardTest::form, WizardTest::Start;
  ~DownloadControllerTest() override { form.reset(); }  // the control leaves the reader first

  // Welcome, Next, Next: the check page fetches the update-information file.
  void Check() { Start().Cmd_Click(1), form->Cmd_Click(1); }
  // The download page of a table that offers a package (the CRC-32 of "123456789").
  void OnDownloadPage(const std::string& name = "setup.msi") {
    UpdateComponent& package = form->ComponentTable.emplace_back();
    package.sSourceUrl = kSetupUrl;
    package.sFileName = name;
    package.sCrc = "CBF43926";
    form->CurrentPage = PageResult;
    form->Cmd_Click(1);
  }
  // A file in the product folder (made, or not); its path in the program's form.
  std::string Path(const std::string& name) { return PosixFileSystem::FromNative(dir.File(name)); }
  std::string MakeFile(const std::string& name, const std::string& bytes = "x") {
    return WriteFileBytes(dir.File(name), bytes), Path(name);
  }
  std::string Info(int i) { return Caption(lblInfo(i)); }
  // The status view in one line: the status line, the four figures, the
  // percentage; the enabled controls ("@": focused); the timers that run.
  std::string View() {
    std::string v = Caption(Ctl::Label1_3) + "|" + Info(0) + "|" + Info(1) + "|" + Info(2) + "|" + Info(3) + "|";
    v += Caption(Ctl::lblLoad) + "|";
    const Ctl ids[] = {Ctl::picLoad, cmdLoad(0), cmdLoad(1), Ctl::Cmd0, Ctl::Cmd1, Ctl::Cmd2};
    const char* const names[] = {"bar ", "Stop ", "Retry ", "Back ", "Next ", "Cancel "};
    for (int i = 0; i < 6; ++i)
      if (Enabled(ids[i])) v += (Focused() == ids[i] ? "@" : "") + std::string(names[i]);
    return v + (TimerOn(TimerId::tmrStatus) ? " ticking" : "") + (TimerOn(TimerId::tmrDownload) ? " deferred" : "");
  }

  FakeAsyncReadService& reader = fake.reader;
};

// The download page's fetch starts on a fresh status view without the
// earlier downloads, and its status line follows the stages of the fetch.
TEST_F(DownloadControllerTest, FetchStartsOnAFreshStatusViewAndFollowsTheStages) {
  Start().Cmd_Click(1);
  window.Control(lblInfo(1)).SetCaption("stale");
  form->ComponentTable[0].sDownloadedFile = MakeFile("old.ndf");
  fake.files.SetAttr(form->ComponentTable[0].sDownloadedFile, Attr::ReadOnly | Attr::Hidden);
  OnDownloadPage(std::string(40, 'a') + std::string(40, 'b') + ".msi");
  EXPECT_EQ(View(), kConnecting + "bar @Stop Cancel ");
  EXPECT_EQ(reader.reads, Strings{kSetupUrl + " " + kSetupUrl + " 1 16"});
  EXPECT_FALSE(std::filesystem::exists(dir.File("old.ndf")));
  // The name is shortened in the middle to the line's width.
  std::string lines;  // the status line after each stage, and whether the elapsed time counts
  for (int code : {1, 2, 11, 4, 5, 6})
    reader.Progress(kSetupUrl, code),
        lines += Caption(Ctl::Label1_3) + (TimerOn(TimerId::tmrStatus) ? " ticking|" : "|");
  const std::string downloading =
      lines.substr(lines.find("Downloading "), lines.find(" ticking") - lines.find("Downloading "));
  EXPECT_TRUE(downloading.starts_with("Downloading aaaa") && downloading.ends_with("bbbb.msi")) << downloading;
  EXPECT_NE(downloading.find("a...b"), std::string::npos);
  EXPECT_LT(downloading.size(), 12 + 84);
  EXPECT_EQ(lines, "Locating file...|Locating file...|Sending request...|" + downloading + " ticking|" + downloading +
                       " ticking|Download completed successfully!|");
}

// The figures for one progress notification: KB received, time remaining,
// rate, percent; and the elapsed time, which counts the timer's ticks.
struct FiguresRow {
  const char* name;
  double start, now;  // the clock when data began, and now
  int read, max;
  const char *received, *remaining, *rate, *percent;
  bool overflow = false;
};

class FiguresTest : public DownloadControllerTest, public ::testing::WithParamInterface<FiguresRow> {};

TEST_P(FiguresTest, ShowsTheFigures) {
  const FiguresRow& r = GetParam();
  Check();
  form->Transfer.ElapsedSeconds = 9;  // from an earlier transfer
  Answer({Mb::Yes});                  // to go on after an error
  fake.clock.now = r.start;
  reader.Progress(kInfoUrl, AsyncStatus::BeginDownloadData, 0, r.max);
  fake.clock.now = r.now;
  reader.Progress(kInfoUrl, AsyncStatus::DownloadingData, r.read, r.max);
  EXPECT_EQ((Strings{Info(0), Info(1), Info(2), Info(3), Caption(Ctl::lblLoad)}),
            (Strings{r.received, r.remaining, *r.rate ? "0:00" : "", r.rate, r.percent}));
  // A figure that cannot be computed is reported as an error of that handler, and the transfer goes on.
  const std::string box = BoxesShown() ? fake.messageBox.shown[0].prompt : "";
  EXPECT_EQ(
      box.find("is 6\r\nThe string describing this error is:\r\n\"Overflow\"\r\nThe error occurred in Module h0008") !=
          std::string::npos,
      r.overflow);
  form->tmrStatus_Timer();
  EXPECT_EQ(Info(2), "0:01 minutes");
}

INSTANTIATE_TEST_SUITE_P(
    Figures, FiguresTest,
    ::testing::Values(
        // 6.25 KB/s; 627.5 KB to go: 100.4 s.
        FiguresRow{"Plain", 100, 102, 12800, 655360, "12.50 KB of 640.00 KB", "1:40 minutes", "6.25 Kbps", "2"},
        // Below 1 KB/s counts as 1: 60 KB to go take a minute.
        FiguresRow{"RateBelowOne", 100, 102, 512, 61952, "0.50 KB of 60.50 KB", "1:00 minutes", "1.00 Kbps", "1"},
        FiguresRow{"Under1s", 100, 100.25, 10240, 20480, "10.00 KB of 20.00 KB", "0:01 minutes", "10.00 Kbps", "50"},
        FiguresRow{"Whole", 100, 104, 655360, 655360, "640.00 KB of 640.00 KB", "0.00", "160.00 Kbps", "100"},
        FiguresRow{"MoreThanAnnounced", 100, 101, 2048, 1024, "2.00 KB of 1.00 KB", "0:00 minutes", "2.00 Kbps", "100"},
        // At 1 KB/s: whole seconds, halves to even, before minutes and hours are split off.
        FiguresRow{"HalfToEven", 100, 101, 512, 3072, "0.50 KB of 3.00 KB", "0:02 minutes", "1.00 Kbps", "17"},
        FiguresRow{"ToAnHour", 100, 101, 512, 3686400, "0.50 KB of 3600.00 KB", "1:00:00 hours", "1.00 Kbps", "0"},
        FiguresRow{"Hours", 100, 101, 512, 3814912, "0.50 KB of 3725.50 KB", "1:02:05 hours", "1.00 Kbps", "0"},
        FiguresRow{"NoLengthAnnounced", 100, 103, 5000, 0, "", "", "", "0"},
        FiguresRow{"PercentBeyond32Bits", 100, 102, 2147483647, 1, "", "", "", "0", true}),
    kName);

// Stop asks; Yes stops the transfer and deletes its files, and Retry
// fetches again. A file that arrives is kept, marked, after a pause, and
// handed over later, from the deferral's timer.
struct StopRow {
  const char* name;
  int answer;
  bool arrived;  // the file arrived while the question was open
  bool inYield;  // Stop is clicked while a progress lets the window work
  std::string view;
};

class StopTest : public DownloadControllerTest, public ::testing::WithParamInterface<StopRow> {};

TEST_P(StopTest, AsksAndYesStopsAndDeletes) {
  const StopRow& row = GetParam();
  const bool yes = row.answer == Mb::Yes;
  Check();
  reader.Progress(kInfoUrl, AsyncStatus::BeginDownloadData, 0, 655360);
  fake.clock.now = 2;
  reader.Progress(kInfoUrl, AsyncStatus::DownloadingData, 12800, 655360);
  const std::string file = MakeFile("lkd1.tmp");
  row.arrived ? (void)reader.Complete(kInfoUrl, file) : (void)(form->ComponentTable[0].sDownloadedFile = file);
  Answer({row.answer});
  bool clicked = false;
  events.onDoEvents = [&] {
    if (!std::exchange(clicked, true)) form->cmdLoad_Click(0);
  };
  row.inYield ? (void)reader.Progress(kInfoUrl, AsyncStatus::DownloadingData, 25600, 655360) : events.onDoEvents();
  ASSERT_EQ(BoxesShown(), 1u);
  EXPECT_EQ(fake.messageBox.shown[0].prompt + fake.messageBox.shown[0].title,
            "Are you sure you want to stop this download?Larkspire AutoUpdate");
  EXPECT_EQ(fake.messageBox.shown[0].buttons, Mb::YesNo | Mb::Question);
  EXPECT_EQ(View(), row.view);
  EXPECT_EQ(form->ComponentTable[0].sDownloadedFile, yes ? "" : file);
  EXPECT_EQ(std::filesystem::exists(dir.File("lkd1.tmp")), !yes);
  EXPECT_EQ(reader.running.empty(), yes || row.arrived);
  EXPECT_EQ(events.slept, row.arrived ? 500u : 0u);
  // A file that arrived is marked; a stop deletes it.
  EXPECT_EQ(yes ? Attr::Normal : fake.files.GetAttr(file),
            row.arrived && !yes ? Attr::ReadOnly | Attr::Hidden : Attr::Normal);
  if (!yes) return;
  form->cmdLoad_Click(1);  // Retry
  EXPECT_EQ(reader.reads.back(), kInfoUrl + " " + kInfoUrl + " 1 16");
  EXPECT_EQ(View(), kConnecting + "bar Stop @Cancel ");
}

const StopRow kStopRows[] = {{"Yes", Mb::Yes, false, false, kStopped},
                             {"No", Mb::No, false, false, kReceiving + "bar @Stop Cancel  ticking"},
                             {"YesAfterTheFileArrived", Mb::Yes, true, false, kStopped},
                             {"NoAfterTheFileArrived", Mb::No, true, false, kReceiving + "bar @Cancel  deferred"},
                             {"YesDuringAProgress", Mb::Yes, false, true, kStopped}};
INSTANTIATE_TEST_SUITE_P(Table, StopTest, ::testing::ValuesIn(kStopRows), kName);

// Every failure stops the transfer and shows its description, worded for
// the user, in the error dialog: a scenario, or else the check page's fetch
// fails with the description; connected: what the connection service says.
struct FailureRow {
  const char* name;
  std::string shown;
  void (*scenario)(DownloadControllerTest&);
  std::string description = "";
  bool connected = true;
};

class FailureTest : public DownloadControllerTest, public ::testing::WithParamInterface<FailureRow> {};

TEST_P(FailureTest, StopsAndShowsTheErrorDialog) {
  const FailureRow& row = GetParam();
  connection.flags = row.connected ? 0x40 : 0x02;
  if (row.scenario) {
    row.scenario(*this);
  } else {
    Check();
    const int calls = connection.calls;
    reader.Progress(kInfoUrl, AsyncStatus::Error, 0, 0, row.description);
    // The connection is asked about only where a server name could not be resolved.
    EXPECT_EQ(connection.calls - calls, row.shown.starts_with(kResolve) && !row.description.ends_with("."));
  }
  EXPECT_EQ(fake.errorDialogs, Strings{row.shown});
  EXPECT_EQ(View(), kStopped);
  EXPECT_TRUE(reader.running.empty());
  EXPECT_FALSE(std::filesystem::exists(dir.File("lkd1.tmp")) || std::filesystem::exists(dir.File("setup.msi")));
}

const std::string kRetry = "Unable to complete the download of this file. Please click Retry.";
const std::string kNotFound = "The url could not be found.", kCorrupt = "The downloaded file was corrupt.";
const std::string kHint = kResolve + ". This could be a result of no Internet connection.";
using T = DownloadControllerTest;
INSTANTIATE_TEST_SUITE_P(
    Table, FailureTest,
    ::testing::Values(
        FailureRow{"Storage", kRetry, nullptr, "NOT ENOUGH STORAGE IS AVAILABLE TO PROCESS THIS COMMAND.", false},
        FailureRow{"AccessCode", kRetry, nullptr, "The access code is invalid."},
        FailureRow{"Handle", kNotFound, nullptr, "THE HANDLE IS INVALID."},
        FailureRow{"ResolveConnected", kResolve + ".", nullptr, kResolve},
        FailureRow{"ResolveNotConnected", kHint, nullptr, kResolve, false},
        FailureRow{"ResolveWithAPoint", kResolve + ".", nullptr, kResolve + ".", false},
        FailureRow{"SystemError", kNotFound, nullptr, "  system ERROR &h80070006.   the handle is invalid.  "},
        FailureRow{"SystemErrorResolve", kHint, nullptr, "System error &H80072EE7. " + kResolve, false},
        FailureRow{"CannotStart", "The URL does not use a recognized protocol.",
                   [](T& t) { t.reader.refuseStart = true, t.Check(); }},
        FailureRow{"ProgramsNotTold", "The running Larkspire programs could not be told to close.",
                   [](T& t) { t.fake.messages.broadcastFails = true, t.Check(); }},
        FailureRow{"NoData", "The connection was reset.",
                   [](T& t) { t.Check(), t.reader.Complete(kInfoUrl, "The connection was reset", 1, true); }},
        FailureRow{"NotAFile", kCorrupt, [](T& t) { t.Check(), t.reader.Complete(kInfoUrl, "in memory", 0); }},
        FailureRow{"FileMissing", kCorrupt, [](T& t) { t.Check(), t.reader.Complete(kInfoUrl, t.Path("lkd1.tmp")); }},
        FailureRow{"NoEntry", kCorrupt,
                   [](T& t) {
                     t.Check(), t.form->Transfer.CurrentIndex = 7, t.reader.Complete(kInfoUrl, t.MakeFile("lkd1.tmp"));
                   }},
        FailureRow{"CorruptPackage", kCorrupt,
                   [](T& t) {
                     t.Start(), t.OnDownloadPage(), t.reader.Complete(kSetupUrl, t.MakeFile("lkd1.tmp", "123456780"));
                     t.form->tmrDownload_Timer();
                   }}),
    kName);
}  // namespace
