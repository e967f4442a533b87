// The download controller on the fake platform and the real window: a read
// service the test drives, a clock it sets and timers it fires.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "fakes/fake_transfer.hpp"
#include "platform/async_read_service.hpp"
#include "platform/main_window_view.hpp"
#include "platform/message_box.hpp"
#include "platform/timer.hpp"
#include "wizard/wizard_fixture.hpp"

namespace {
const std::string kInfoUrl = "http://updates.test:8731/browser/updchk.ndf";

class DownloadControllerTest : public WizardTest {
 public:  // for the rows' scenarios
  using WizardTest::dir, WizardTest::fake, WizardTest::form;

  // Welcome, Next, Next: the check page fetches the update-information file.
  void Check() { Start().Cmd_Click(1), form->Cmd_Click(1); }
  std::string MakeFile(const std::string& name) {  // in the product folder; the program's path
    return WriteFileBytes(dir.File(name), "x"), dir.Program(name);
  }
  // What the user is left with, in one line: the status line, the four
  // figures, the percentage; the enabled controls ("@": focused); the
  // timers that run; the error dialogs and the message boxes (up to their
  // closing advice); the file lkd1.tmp: gone or kept (marked: read-only and
  // hidden), listed as the downloaded file; whether a fetch runs.
  std::string Outcome() {
    std::string o = Caption(Ctl::Label1_3) + "|";
    for (Ctl id : {lblInfo(0), lblInfo(1), lblInfo(2), lblInfo(3), Ctl::lblLoad}) o += Caption(id) + "|";
    // clang-format off
    const std::pair<Ctl, const char*> controls[] = {
        {Ctl::picLoad, "bar "}, {cmdLoad(0), "Stop "}, {cmdLoad(1), "Retry "}, {Ctl::Cmd0, "Back "}, {Ctl::Cmd1, "Next "}, {Ctl::Cmd2, "Cancel "}};
    // clang-format on
    for (const auto& [id, name] : controls)
      if (Enabled(id)) o += (Focused() == id ? "@" : "") + std::string(name);
    o +=
        std::string(TimerOn(TimerId::tmrStatus) ? " ticking" : "") + (TimerOn(TimerId::tmrDownload) ? " deferred" : "");
    for (const std::string& text : fake.dialogs.shown) o += "|" + text;
    for (const ShownMessage& m : fake.messageBox.shown) o += "|" + m.prompt.substr(0, m.prompt.find("\r\n\r\nPlease"));
    const std::string file = dir.Program("lkd1.tmp");
    const bool kept = std::filesystem::exists(dir.File("lkd1.tmp")),
               // (Windows adds its archive bit of its own.)
        marked = kept && (fake.files.GetAttr(file) & ~Attr::Archive) == (Attr::ReadOnly | Attr::Hidden);
    return o + (kept ? "|kept" : "|gone") + (marked ? " marked" : "") +
           (form->ComponentTable[0].sDownloadedFile == file ? " listed" : "") +
           (fake.reader.running.empty() ? "" : " fetching");
  }
};

// The download page's fetch starts on a fresh status view without the
// earlier downloads, and its status line follows the stages of the fetch,
// the package's name shortened in the middle to the line's width.
TEST_F(DownloadControllerTest, FetchStartsOnAFreshStatusViewAndFollowsTheStages) {
  Start().Cmd_Click(1), window.Control(lblInfo(1)).SetCaption("stale");
  fake.files.SetAttr(form->ComponentTable[0].sDownloadedFile = MakeFile("lkd1.tmp"), Attr::ReadOnly | Attr::Hidden);
  UpdateComponent& package = form->ComponentTable.emplace_back();
  package.sSourceUrl = "http://u.test/setup.msi",
  package.sFileName = std::string(40, 'a') + std::string(40, 'b') + ".msi";
  form->CurrentPage = PageResult, form->Cmd_Click(1);
  std::string lines = Outcome() + "|" + fake.reader.reads.back();
  for (int code : {1, 2, 11, 4, 5, 6})
    fake.reader.Progress(package.sSourceUrl, code),
        lines += "|" + Caption(Ctl::Label1_3) + (TimerOn(TimerId::tmrStatus) ? " ticking" : "");
  EXPECT_EQ(std::regex_replace(lines, std::regex("a+\\.\\.\\.b+\\.msi"), "a...b.msi"),
            "Attempting to connect to updates.test:8731|||||0|bar @Stop Cancel |gone fetching|http://u.test/setup.msi "
            "http://u.test/setup.msi 1 16 0|Locating file...|Locating file...|Sending request...|Downloading a...b.msi "
            "ticking|Downloading a...b.msi ticking|Download completed successfully!");
}

// ---- one table: what each road of a transfer leaves the user with ----

using T = DownloadControllerTest;
using Scenario = std::function<void(T&)>;

// The check page's fetch: data begins at 100 s (an earlier transfer left
// 9 s elapsed), read of max bytes have arrived at now; with tick, the
// status timer ticks once. An error of the handler is answered Yes, to go on.
Scenario Figures(double now, int read, int max, bool tick = false) {
  return [=](T& t) {
    t.Check(), t.form->Transfer.ElapsedSeconds = 9, t.fake.messageBox.answers = {Mb::Yes}, t.fake.clock.now = 100;
    t.fake.reader.Progress(kInfoUrl, AsyncStatus::BeginDownloadData, 0, max), t.fake.clock.now = now;
    t.fake.reader.Progress(kInfoUrl, AsyncStatus::DownloadingData, read, max);
    if (tick) t.form->tmrStatus_Timer();
  };
}
std::string Shows(const std::string& figures, const std::string& box = "") {
  return "Downloading updchk.ndf|" + figures + "|bar @Stop Cancel  ticking" + box + "|gone fetching";
}

// Stop is clicked, and answered, while 12.5 of 640 KB have arrived in 2 s
// and lkd1.tmp is listed as downloaded; with ends 1 the file arrives while
// the question is open, with 2 it is handed over too; inYield: clicked
// while a progress lets the window work. Then perhaps Retry.
Scenario Stop(int answer, int ends = 0, bool inYield = false, bool retry = false) {
  return [=](T& t) {
    Figures(102, 12800, 655360, true)(t), t.fake.messageBox.answers = {answer};
    const std::string file = t.form->ComponentTable[0].sDownloadedFile = t.MakeFile("lkd1.tmp");
    t.fake.messageBox.whileOpen = [&t, file, ends] {
      if (ends) t.fake.reader.Complete(kInfoUrl, file);
      if (ends > 1) t.form->tmrDownload_Timer();
    };
    t.fake.events.onDoEvents = [&t, clicked = false]() mutable {
      if (!std::exchange(clicked, true)) t.form->cmdLoad_Click(0);
    };
    inYield ? t.fake.reader.Progress(kInfoUrl, AsyncStatus::DownloadingData, 25600, 655360)
            : t.fake.events.onDoEvents();
    EXPECT_EQ(t.fake.messageBox.shown.at(0).buttons, Mb::YesNo | Mb::Question | Mb::DefaultButton2);
    if (retry) t.form->cmdLoad_Click(1);
  };
}
const std::string kReceiving = "Downloading updchk.ndf|12.50 KB of 640.00 KB|1:40 minutes|0:01 minutes|6.25 Kbps|2|";
const std::string kAsked = "|Are you sure you want to stop this download?";

// The check page's fetch fails with this description (and the way it went);
// connected: what the connection service says.
Scenario Fails(std::string description, bool connected = true, std::string route = "") {
  return [=](T& t) {
    t.fake.connection.flags = connected ? 0x40 : 0x02;
    t.Check(), t.fake.reader.Progress(kInfoUrl, AsyncStatus::Error, 0, 0, description, route);
  };
}
// Every failure stops the transfer and shows its description, worded for the user, in the error dialog.
std::string Stopped(const std::string& shown) { return "Download stopped|||||0|@Retry Cancel |" + shown + "|gone"; }
const std::string kResolve = "The server name or address could not be resolved";
const std::string kRetry = "Unable to complete the download of this file. Please click Retry.";
const std::string kCorrupt = "The downloaded file was corrupt.";

using Row = std::tuple<const char*, Scenario, std::string>;  // name, scenario, outcome
class TransferRoadTest : public T, public ::testing::WithParamInterface<Row> {};
TEST_P(TransferRoadTest, EndsAsTheRowSays) {
  std::get<1>(GetParam())(*this);
  EXPECT_EQ(Outcome(), std::get<2>(GetParam()));
}

// clang-format off
const Row kRows[] = {
    // At 1 KB/s the time remaining is whole seconds, halves to even, before minutes and hours are split off.
    {"RateBelowOneCountsAsOne", Figures(102, 512, 61952), Shows("0.50 KB of 60.50 KB|1:00 minutes|0:00|1.00 Kbps|1")},
    {"UnderOneSecondCountsAsOne", Figures(100.25, 10240, 20480), Shows("10.00 KB of 20.00 KB|0:01 minutes|0:00|10.00 Kbps|50")},
    {"Whole", Figures(104, 655360, 655360), Shows("640.00 KB of 640.00 KB|0.00|0:00|160.00 Kbps|100")},
    {"MoreThanAnnounced", Figures(101, 2048, 1024), Shows("2.00 KB of 1.00 KB|0:00 minutes|0:00|2.00 Kbps|100")},
    {"HalfToEven", Figures(101, 512, 3072), Shows("0.50 KB of 3.00 KB|0:02 minutes|0:00|1.00 Kbps|17")},
    {"Hours", Figures(101, 512, 3814912), Shows("0.50 KB of 3725.50 KB|1:02:05 hours|0:00|1.00 Kbps|0")},
    {"NoLengthAnnounced", Figures(103, 5000, 0), Shows("||||0")},
    // A figure that cannot be computed is reported as an error of that handler, and the transfer goes on.
    {"PercentBeyond32Bits", Figures(102, 2147483647, 1), Shows("||||0", "|An unexpected error has occurred.\r\n\r\nThe error number is 6\r\nThe string describing this error is:\r\n\"Overflow\"\r\nThe error occurred in Module h0008")},
    // Stop asks; Yes stops the transfer and deletes its files, and Retry fetches again. A file that arrives is
    // kept, marked, and handed over later, from the deferral's timer; once it is, Yes leaves the next page be.
    {"StopNo", Stop(Mb::No), kReceiving + "bar @Stop Cancel  ticking" + kAsked + "|kept listed fetching"},
    {"StopYesAfterTheFileArrived", Stop(Mb::Yes, 1), "Download stopped|||||0|@Retry Cancel " + kAsked + "|gone"},
    {"StopNoAfterTheFileArrived", Stop(Mb::No, 1), kReceiving + "bar @Cancel  deferred" + kAsked + "|kept marked listed"},
    {"StopYesAfterTheHandOver", Stop(Mb::Yes, 2), kReceiving + "bar @Next Cancel " + kAsked + "|gone"},
    {"StopYesDuringAProgress", Stop(Mb::Yes, 0, true), "Download stopped|||||0|@Retry Cancel " + kAsked + "|gone"},
    {"StopYesThenRetry", Stop(Mb::Yes, 0, false, true), "Attempting to connect to updates.test:8731|||||0|bar Stop @Cancel " + kAsked + "|gone fetching"},
    {"Storage", Fails("NOT ENOUGH STORAGE IS AVAILABLE TO PROCESS THIS COMMAND.", false), Stopped(kRetry)},
    {"AccessCode", Fails("The access code is invalid."), Stopped(kRetry)},
    {"ResolveThroughAProxy", Fails(kResolve, false, "The download went through the proxy http://p:3128."), Stopped(kResolve + ". This could be a result of no Internet connection. The download went through the proxy http://p:3128.")},
    {"ResolveConnected", Fails(kResolve), Stopped(kResolve + ".")},
    {"ResolveWithAPoint", Fails(kResolve + ".", false), Stopped(kResolve + ".")},
    {"SystemError", Fails("  system ERROR &h80070006.   the handle is invalid.  "), Stopped("The url could not be found.")},
    {"CannotStart", [](T& t) { t.fake.reader.refuseStart = true, t.Check(); }, Stopped("The URL does not use a recognized protocol.")},
    {"ProgramsNotTold", [](T& t) { t.fake.messages.broadcastFails = true, t.Check(); }, Stopped("The running Larkspire programs could not be told to close.")},
    {"NoData", [](T& t) { t.Check(), t.fake.reader.Complete(kInfoUrl, "The connection was reset", 1, true); }, Stopped("The connection was reset.")},
    {"NotAFile", [](T& t) { t.Check(), t.fake.reader.Complete(kInfoUrl, "in memory", 0); }, Stopped(kCorrupt)},
    {"FileMissing", [](T& t) { t.Check(), t.fake.reader.Complete(kInfoUrl, t.dir.Program("lkd1.tmp")); }, Stopped(kCorrupt)},
    {"NoEntry", [](T& t) { t.Check(), t.form->Transfer.CurrentIndex = 7, t.fake.reader.Complete(kInfoUrl, t.MakeFile("lkd1.tmp")); }, Stopped(kCorrupt)}};
// clang-format on
INSTANTIATE_TEST_SUITE_P(Table, TransferRoadTest, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(std::get<0>(info.param)); });

}  // namespace
