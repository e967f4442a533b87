// The download controller on the fake platform and the real window: a read
// service the test drives, a clock it sets and timers it fires.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include "fakes/fake_transfer.hpp"
#include "platform/posix/net_state.hpp"
#include "wizard/wizard_fixture.hpp"

namespace {
const std::string kInfoUrl = "http://updates.test:8731/browser/updchk.ndf",
                  kSetupUrl = "http://updates.test:8731/dl/setup.msi";
const std::string kConnecting = "Attempting to connect to updates.test:8731|||||0|";

class DownloadControllerTest : public WizardTest {
 public:  // for the rows' scenarios
  using WizardTest::Answer, WizardTest::connection, WizardTest::dir, WizardTest::events, WizardTest::fake,
      WizardTest::form;

  // Welcome, Next, Next: the check page fetches the update-information file.
  void Check() { Start().Cmd_Click(1), form->Cmd_Click(1); }
  // A file in the product folder; its path in the program's form.
  std::string MakeFile(const std::string& name) {
    return WriteFileBytes(dir.File(name), "x"), PosixFileSystem::FromNative(dir.File(name));
  }
  // The status view in one line: the status line, the four figures, the
  // percentage; the enabled controls ("@": focused); the timers that run.
  std::string View() {
    std::string v = Caption(Ctl::Label1_3) + "|";
    for (Ctl id : {lblInfo(0), lblInfo(1), lblInfo(2), lblInfo(3), Ctl::lblLoad}) v += Caption(id) + "|";
    const Ctl ids[] = {Ctl::picLoad, cmdLoad(0), cmdLoad(1), Ctl::Cmd0, Ctl::Cmd1, Ctl::Cmd2};
    const char* const names[] = {"bar ", "Stop ", "Retry ", "Back ", "Next ", "Cancel "};
    for (int i = 0; i < 6; ++i)
      if (Enabled(ids[i])) v += (Focused() == ids[i] ? "@" : "") + std::string(names[i]);
    return v + (TimerOn(TimerId::tmrStatus) ? " ticking" : "") + (TimerOn(TimerId::tmrDownload) ? " deferred" : "");
  }
  // What the user is left with: the status view, the error dialogs and the
  // message boxes (up to their closing advice), and the file lkd1.tmp: gone,
  // kept (marked: read-only and hidden), listed as the downloaded file;
  // whether a fetch runs.
  std::string Outcome() {
    std::string o = View() + "|";
    for (const std::string& text : fake.errorDialogs) o += text + "|";
    for (const ShownMessage& m : fake.messageBox.shown) o += m.prompt.substr(0, m.prompt.find("\r\n\r\nPlease")) + "|";
    const std::string file = PosixFileSystem::FromNative(dir.File("lkd1.tmp"));
    if (!std::filesystem::exists(dir.File("lkd1.tmp"))) return o + "gone" + (reader.running.empty() ? "" : " fetching");
    o += fake.files.GetAttr(file) == (Attr::ReadOnly | Attr::Hidden) ? "kept marked" : "kept";
    return o + (form->ComponentTable[0].sDownloadedFile == file ? " listed" : "") +
           (reader.running.empty() ? "" : " fetching");
  }

  FakeAsyncReadService& reader = fake.reader;
};

// The download page's fetch starts on a fresh status view without the
// earlier downloads, and its status line follows the stages of the fetch.
TEST_F(DownloadControllerTest, FetchStartsOnAFreshStatusViewAndFollowsTheStages) {
  Start().Cmd_Click(1);
  window.Control(lblInfo(1)).SetCaption("stale");
  fake.files.SetAttr(form->ComponentTable[0].sDownloadedFile = MakeFile("old.ndf"), Attr::ReadOnly | Attr::Hidden);
  UpdateComponent& package = form->ComponentTable.emplace_back();
  package.sSourceUrl = kSetupUrl, package.sFileName = std::string(40, 'a') + std::string(40, 'b') + ".msi";
  form->CurrentPage = PageResult;
  form->Cmd_Click(1);
  EXPECT_EQ(View(), kConnecting + "bar @Stop Cancel ");
  EXPECT_EQ(reader.reads, std::vector<std::string>{kSetupUrl + " " + kSetupUrl + " 1 16"});
  EXPECT_FALSE(std::filesystem::exists(dir.File("old.ndf")));
  std::string lines;  // the status line after each stage, and whether the elapsed time counts
  for (int code : {1, 2, 11, 4, 5, 6})
    reader.Progress(kSetupUrl, code),
        lines += Caption(Ctl::Label1_3) + (TimerOn(TimerId::tmrStatus) ? " ticking|" : "|");
  // The name is shortened in the middle to the line's width.
  EXPECT_EQ(std::regex_replace(lines, std::regex("a+\\.\\.\\.b+\\.msi"), "a...b.msi"),
            "Locating file...|Locating file...|Sending request...|Downloading a...b.msi ticking|Downloading a...b.msi "
            "ticking|Download completed successfully!|");
}

// ---- one table: what each road of a transfer leaves the user with ----

using T = DownloadControllerTest;
using Scenario = std::function<void(T&)>;

// The check page's fetch: data begins at 100 s (an earlier transfer left
// 9 s elapsed), then read of max bytes have arrived at now, and the status
// timer ticks once. Errors of the handler are answered Yes, to go on.
Scenario Figures(double now, int read, int max) {
  return [=](T& t) {
    t.Check(), t.form->Transfer.ElapsedSeconds = 9, t.Answer({Mb::Yes}), t.fake.clock.now = 100;
    t.reader.Progress(kInfoUrl, AsyncStatus::BeginDownloadData, 0, max), t.fake.clock.now = now;
    t.reader.Progress(kInfoUrl, AsyncStatus::DownloadingData, read, max), t.form->tmrStatus_Timer();
  };
}
std::string Shows(std::string received, std::string remaining, std::string rate, std::string percent,
                  std::string box = "") {
  return "Downloading updchk.ndf|" + received + "|" + remaining + "|0:01 minutes|" + rate + "|" + percent +
         "|bar @Stop Cancel  ticking|" + box + "gone fetching";
}

// Stop is clicked while 12.5 of 640 KB have arrived in 2 s, and answered;
// the file lkd1.tmp has arrived (else it is listed as downloaded);
// inYield: while a progress lets the window work; then perhaps Retry.
Scenario Stop(int answer, bool arrived = false, bool inYield = false, bool retry = false) {
  return [=](T& t) {
    t.Check(), t.reader.Progress(kInfoUrl, AsyncStatus::BeginDownloadData, 0, 655360), t.fake.clock.now = 2;
    t.reader.Progress(kInfoUrl, AsyncStatus::DownloadingData, 12800, 655360);
    const std::string file = t.MakeFile("lkd1.tmp");
    arrived ? (void)t.reader.Complete(kInfoUrl, file) : (void)(t.form->ComponentTable[0].sDownloadedFile = file);
    t.Answer({answer});
    t.events.onDoEvents = [&t, clicked = false]() mutable {
      if (!std::exchange(clicked, true)) t.form->cmdLoad_Click(0);
    };
    inYield ? (void)t.reader.Progress(kInfoUrl, AsyncStatus::DownloadingData, 25600, 655360) : t.events.onDoEvents();
    ASSERT_EQ(t.fake.messageBox.shown.at(0).title, "Larkspire AutoUpdate");
    EXPECT_EQ(t.fake.messageBox.shown[0].buttons, Mb::YesNo | Mb::Question);
    if (retry) t.form->cmdLoad_Click(1);
  };
}
std::string Asked(const std::string& view, const std::string& file) {
  return view + "|Are you sure you want to stop this download?|" + file;
}
const std::string kReceiving = "Downloading updchk.ndf|12.50 KB of 640.00 KB|1:40 minutes|0:00|6.25 Kbps|2|";

// The check page's fetch fails with this description; connected: what the
// connection service says.
Scenario Fails(std::string description, bool connected = true) {
  return [=](T& t) {
    t.connection.flags = connected ? 0x40 : 0x02;
    t.Check(), t.reader.Progress(kInfoUrl, AsyncStatus::Error, 0, 0, description);
  };
}
// A failure stops the transfer and shows its description, worded for the user, in the error dialog.
std::string Stopped(const std::string& shown) { return "Download stopped|||||0|@Retry Cancel |" + shown + "|gone"; }
const std::string kResolve = "The server name or address could not be resolved";
const std::string kRetry = "Unable to complete the download of this file. Please click Retry.";
const std::string kCorrupt = "The downloaded file was corrupt.";

struct Row {
  const char* name;
  Scenario scenario;
  std::string outcome;
};
class TransferRoadTest : public T, public ::testing::WithParamInterface<Row> {};
TEST_P(TransferRoadTest, EndsAsTheRowSays) {
  GetParam().scenario(*this);
  EXPECT_EQ(Outcome(), GetParam().outcome);
}

// clang-format off
const Row kRows[] = {
    // At 1 KB/s the time remaining is whole seconds, halves to even, before minutes and hours are split off.
    {"RateBelowOneCountsAsOne", Figures(102, 512, 61952), Shows("0.50 KB of 60.50 KB", "1:00 minutes", "1.00 Kbps", "1")},
    {"UnderOneSecondCountsAsOne", Figures(100.25, 10240, 20480), Shows("10.00 KB of 20.00 KB", "0:01 minutes", "10.00 Kbps", "50")},
    {"Whole", Figures(104, 655360, 655360), Shows("640.00 KB of 640.00 KB", "0.00", "160.00 Kbps", "100")},
    {"MoreThanAnnounced", Figures(101, 2048, 1024), Shows("2.00 KB of 1.00 KB", "0:00 minutes", "2.00 Kbps", "100")},
    {"HalfToEven", Figures(101, 512, 3072), Shows("0.50 KB of 3.00 KB", "0:02 minutes", "1.00 Kbps", "17")},
    {"ToAnHour", Figures(101, 512, 3686400), Shows("0.50 KB of 3600.00 KB", "1:00:00 hours", "1.00 Kbps", "0")},
    {"Hours", Figures(101, 512, 3814912), Shows("0.50 KB of 3725.50 KB", "1:02:05 hours", "1.00 Kbps", "0")},
    {"NoLengthAnnounced", Figures(103, 5000, 0), Shows("", "", "", "0")},
    // A figure that cannot be computed is reported as an error of that handler, and the transfer goes on.
    {"PercentBeyond32Bits", Figures(102, 2147483647, 1), Shows("", "", "", "0", "An unexpected error has occurred.\r\n\r\nThe error number is 6\r\nThe string describing this error is:\r\n\"Overflow\"\r\nThe error occurred in Module h0008|")},
    // Stop asks; Yes stops the transfer and deletes its files, and Retry fetches again. A file that arrives is
    // kept, marked, and handed over later, from the deferral's timer.
    {"StopNo", Stop(Mb::No), Asked(kReceiving + "bar @Stop Cancel  ticking", "kept listed fetching")},
    {"StopYesAfterTheFileArrived", Stop(Mb::Yes, true), Asked("Download stopped|||||0|@Retry Cancel ", "gone")},
    {"StopNoAfterTheFileArrived", Stop(Mb::No, true), Asked(kReceiving + "bar @Cancel  deferred", "kept marked listed")},
    {"StopYesDuringAProgress", Stop(Mb::Yes, false, true), Asked("Download stopped|||||0|@Retry Cancel ", "gone")},
    {"StopYesThenRetry", Stop(Mb::Yes, false, false, true), Asked(kConnecting + "bar Stop @Cancel ", "gone fetching")},
    {"Storage", Fails("NOT ENOUGH STORAGE IS AVAILABLE TO PROCESS THIS COMMAND.", false), Stopped(kRetry)},
    {"AccessCode", Fails("The access code is invalid."), Stopped(kRetry)},
    {"ResolveConnected", Fails(kResolve), Stopped(kResolve + ".")},
    {"ResolveWithAPoint", Fails(kResolve + ".", false), Stopped(kResolve + ".")},
    {"SystemError", Fails("  system ERROR &h80070006.   the handle is invalid.  "), Stopped("The url could not be found.")},
    {"SystemErrorResolve", Fails("System error &H80072EE7. " + kResolve, false), Stopped(kResolve + ". This could be a result of no Internet connection.")},
    {"CannotStart", [](T& t) { t.reader.refuseStart = true, t.Check(); }, Stopped("The URL does not use a recognized protocol.")},
    {"ProgramsNotTold", [](T& t) { t.fake.messages.broadcastFails = true, t.Check(); }, Stopped("The running Larkspire programs could not be told to close.")},
    {"NoData", [](T& t) { t.Check(), t.reader.Complete(kInfoUrl, "The connection was reset", 1, true); }, Stopped("The connection was reset.")},
    {"NotAFile", [](T& t) { t.Check(), t.reader.Complete(kInfoUrl, "in memory", 0); }, Stopped(kCorrupt)},
    {"FileMissing", [](T& t) { t.Check(), t.reader.Complete(kInfoUrl, PosixFileSystem::FromNative(t.dir.File("lkd1.tmp"))); }, Stopped(kCorrupt)},
    {"NoEntry", [](T& t) { t.Check(), t.form->Transfer.CurrentIndex = 7, t.reader.Complete(kInfoUrl, t.MakeFile("lkd1.tmp")); }, Stopped(kCorrupt)}};
// clang-format on
INSTANTIATE_TEST_SUITE_P(Table, TransferRoadTest, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

// The connection flags (hex) and name from the kernel's routes; the wizard
// warns "no connection" without Configured (40): a default route through an
// interface that is up and no loopback. Routes as /proc/net/route shows them
// (after its header) and /proc/net/ipv6_route (route flags second last).
TEST(KernelNetStateTest, FlagsFromTheRoutesAndTheInterfaces) {
  const std::string v6 = std::string(32, '0') + " 00 " + std::string(32, '0') + " 00 fe80" + std::string(28, '0') +
                         " 00000400 00000001 00000000 ";
  const std::tuple<std::string, std::string, std::vector<NetInterface>, bool, const char*> rows[] = {
      // clang-format off
      {"eth0 00000000 0102A8C0 0003 0 0 100 00000000", "", {{"eth0", 0x1003}}, true, "56 eth0"},  // with a proxy and dial-up
      {"ppp0 00000000 00000000 0001 0 0 0 00000000", "", {{"ppp0", 0x10d1}}, false, "41 ppp0"},    // a modem
      {"eth0 00000000 0102A8C0 0003 0 0 100 00000000", "", {{"eth0", 0x1002}, {"wlan0", 0x1003}}, false, "0 wlan0"},  // down
      {"eth0 0002A8C0 00000000 0001 0 0 100 00FFFFFF", "", {{"eth0", 0x1003}}, false, "0 eth0"},    // no default route
      {"eth0 00000000 0102A8C0 0002 0 0 100 00000000", "", {{"eth0", 0x1003}}, false, "0 eth0"},    // a route not up
      {"lo 00000000 00000000 0001 0 0 0 00000000", "", {{"lo", 0x9}}, false, "20 "},                // offline
      {"", v6 + "00000003 eth1", {{"lo", 0x9}, {"eth1", 0x1003}}, false, "42 eth1"},
      {"", v6 + "00200201 eth1", {{"eth1", 0x1003}}, false, "0 eth1"}};                             // a reject route
  // clang-format on
  for (const auto& [ipv4, ipv6, interfaces, extra, flags] : rows) {
    const ConnectionFlags c = ComputeConnectionFlags({"header\n" + ipv4, ipv6, interfaces, extra, extra, true});
    EXPECT_EQ((std::ostringstream() << std::hex << c.flags << " " << c.name).str(), flags) << ipv4 << ipv6;
  }
  EXPECT_FALSE(ComputeConnectionFlags(KernelNetState{}).answered);  // the tables could not be read
}
}  // namespace
