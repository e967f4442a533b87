// The install step: the CRC-32 against zlib, the check of a downloaded
// package and its copy into the product folder, and the hand-over to the
// system, on real files.
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <random>

#include "fakes/fake_platform.hpp"
#include "install/crc32.hpp"
#include "install/crc32_kernels.hpp"
#include "install/integrity.hpp"
#include "support/runtime_error.hpp"
#include "wizard/frm_main.hpp"

namespace {
namespace fs = std::filesystem;

TEST(Crc32, KnownAnswers) {
  std::string crcs;
  for (const char* data : {"", "a", "123456789", "package 23"}) crcs += FormatCrc(Crc32(data)) + " ";
  EXPECT_EQ(crcs, "00000000 E8B7BE43 CBF43926 07A1C45A ");
}

// Every length up to where all kernels are in full stride, then long ones,
// from random alignments and registers: the faults of vector code.
TEST(Crc32, EveryKernelMatchesZlib) {
  CrcCalculator calc;
  calc.InitCrcTable(kCrc32Polynomial, -1);
  std::mt19937_64 gen(20240613);
  std::vector<std::uint8_t> buffer((1 << 20) + 64);
  for (auto& b : buffer) b = static_cast<std::uint8_t>(gen());
  for (std::size_t i = 0; i <= 1200 && !HasFailure(); ++i) {
    const std::size_t n = i <= 1100 ? i : gen() % (1 << 20), offset = gen() % 64;
    const std::uint8_t* p = buffer.data() + offset;
    const auto reg = static_cast<std::uint32_t>(gen());
    const auto expected = ~static_cast<std::uint32_t>(crc32_z(~reg, p, n));  // zlib's register is complemented
    SCOPED_TRACE("length " + std::to_string(n) + ", offset " + std::to_string(offset));
    EXPECT_EQ(UpdateCrcSliced(kCrc32Slices, p, n, reg), expected) << "tables";
    EXPECT_TRUE(!HasCarrylessMultiply() || UpdateCrcCarryless(p, n, reg) == expected) << "carry-less";
    EXPECT_TRUE(!HasWideCarrylessMultiply() || UpdateCrcCarryless512(p, n, reg) == expected) << "wide carry-less";
    const auto piece = calc.UpdateCrc(std::span(p, n / 3), static_cast<std::int32_t>(reg));
    EXPECT_EQ(static_cast<std::uint32_t>(calc.UpdateCrc(std::span(p + n / 3, n - n / 3), piece)), expected);
  }
}

// Only the last point starts an extension, and never in the first position.
TEST(SplitExtension, KnownAnswers) {
  std::string parts;
  for (const char* path : {"setup.msi", "a.tar.gz", "ends.", ".profile"})
    parts += SplitExtension(path, false) + "|" + SplitExtension(path, true) + " ";
  EXPECT_EQ(parts, "setup|msi a.tar|gz ends| .profile| ");
}

const std::string kFox = "The quick brown fox jumps over the lazy dog", kLarge(3 * kCrcReadPiece + 5, 'p');
const char* const kNoFolder = "(no product folder)";

// What the check and the copy of the download did, in one line: "copied
// NAME", "kept WHY" (verified but not copied) or "refused".
TEST(VerifyDownload, ChecksThenCopies) {
  const struct {
    std::string file, taken, outcome;  // the catalog's name, names in the product folder already
    std::string crc = "414fa339";
    std::optional<std::string> bytes = kFox;  // nothing: no download
    int variants = 0;                         // "s0.m" onwards taken too
  } rows[] = {
      {"setup.msi", "", "copied setup.msi"},
      {"setup.msi", "", "copied setup.msi", "07a1c45a", "package 23"},
      {"setup.msi", "", "copied setup.msi", FormatCrc(Crc32(kLarge)), kLarge},
      {"setup.msi", "", "refused", "414fa338"},
      {"setup.msi", "", "refused", "414fa339", std::nullopt},
      {"setup.msi", "", "refused", "00000000", ""},
      {"../setup.msi", "", "refused"},
      {"..\\setup.msi", "", "refused"},
      {"x:setup.msi", "", "refused"},
      {"setup.msi", "setup.msi setup0.msi", "copied setup1.msi"},
      {".msi", ".msi", "copied 0.msi"},
      {"setup", "setup", "kept no free file name"},  // its variant would leave the folder "app.d"
      {"s.m", "s.m", "copied s31999.m", "414fa339", kFox, 31999},
      {"s.m", "s.m", "kept no free file name", "414fa339", kFox, 32000},
      {"setup.msi", kNoFolder, "kept Path not found"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.file + " " + r.taken + " " + r.crc);
    TempDir dir;
    FakePlatform fake;
    frmMain form(fake.Services(), "updates.test");
    const std::string app = dir.File("app.d"), download = dir.Path() + "download.tmp";
    if (r.taken != kNoFolder) fs::create_directory(app);
    std::istringstream taken(r.taken != kNoFolder ? r.taken : "");
    for (std::string name; taken >> name;) WriteFileBytes(app + "/" + name, "taken");
    for (int n = 0; n < r.variants; ++n) WriteFileBytes(app + "/s" + std::to_string(n) + ".m", "");
    if (r.bytes) WriteFileBytes(dir.File("download.tmp"), *r.bytes);
    if (r.bytes) fake.files.SetAttr(download, Attr::ReadOnly | Attr::Hidden);
    form.Installed.State.AppPath = dir.Path() + "app.d\\";
    form.ComponentTable.resize(2);
    UpdateComponent& entry = form.ComponentTable[1];
    entry.sFileName = r.file;
    entry.sCrc = r.crc;
    entry.sTargetFile = "earlier";
    form.Transfer.CurrentIndex = 1;

    const bool copied = form.Installer.VerifyDownload(download);
    std::string outcome = copied ? "copied " + entry.sTargetFile.substr(form.Installed.State.AppPath.size())
                                 : (entry.bVerified ? "kept " : "refused") + form.Installer.CopyFailure;
    if (!copied && entry.sTargetFile != "earlier") outcome += " to " + entry.sTargetFile;
    const std::string failure = "The update could not be copied to " + app + ": ";
    if (outcome.starts_with("kept " + failure)) outcome.erase(5, failure.size());
    EXPECT_EQ(outcome, r.outcome);
    const bool pointed = copied || !fake.events.pointer.empty();  // the pointer comes back however the copy ends
    EXPECT_EQ(fake.events.pointer, (pointed ? std::vector<bool>{true, false} : std::vector<bool>{}));
    if (!copied) continue;
    EXPECT_EQ(ReadFileBytes(app + "/" + outcome.substr(7)), *r.bytes);
    EXPECT_EQ(fake.files.GetAttr(entry.sTargetFile) & (Attr::ReadOnly | Attr::Hidden), 0);
    EXPECT_EQ(ReadFileBytes(dir.File("download.tmp")), *r.bytes) << "the download stays for the clean-up";
  }
}
TEST(VerifyDownload, ATableResetWhileEventsRunIsSafe) {
  TempDir dir;
  FakePlatform fake;
  frmMain form(fake.Services(), "updates.test");
  WriteFileBytes(dir.File("download.tmp"), kFox);
  form.Installed.State.AppPath = dir.Path();
  form.ComponentTable.resize(2);
  form.ComponentTable[1].sFileName = "setup.msi";
  form.ComponentTable[1].sCrc = "414FA339";
  form.Transfer.CurrentIndex = 1;
  fake.events.onDoEvents = [&] { form.ComponentTable.resize(1); };
  EXPECT_FALSE(form.Installer.VerifyDownload(dir.Path() + "download.tmp"));
}

const std::string kRunFailed =
    "An error has occurred while attempting to run install program.\r\nPlease rerun Larkspire AutoUpdate.";
const std::string kDeleted =
    "The Larkspire AutoUpdate file was not found on disk\r\nand may have been deleted since it was "
    "downloaded.\r\n\r\nPlease rerun Larkspire AutoUpdate.";

const std::string kError = " / 48 Larkspire AutoUpdate - Error / exit 4 closed";  // exclamation, OK only

// Install, in one line: the file given to the shell, the box shown, the
// exit status and whether the wizard closed.
TEST(HandOver, RunInstall) {
  const std::tuple<std::intptr_t, bool, bool, std::string> rows[] = {
      // the shell's result, the package deleted, the broadcast failing
      {33, false, false, "open \"<dir>larkspire setup.msi\" 1 / exit 0 closed"},
      {32, false, false, "open \"<dir>larkspire setup.msi\" 1 / " + kRunFailed + kError},
      {33, true, false, " / " + kDeleted + kError},
      {33, false, true, " / exit 0"},
  };
  for (const auto& [shellResult, deleted, broadcastFails, expected] : rows) {
    TempDir dir;
    FakePlatform fake;
    frmMain f(fake.Services(), "updates.test");
    if (!deleted) WriteFileBytes(dir.File("larkspire setup.msi"), "package");
    f.ComponentTable.resize(2);
    f.ComponentTable[1].sTargetFile = dir.Path() + "larkspire setup.msi";
    f.Transfer.CurrentIndex = 1;
    fake.shell.shellResult = shellResult;
    fake.messages.broadcastFails = broadcastFails;
    f.Installer.RunInstall();
    std::string outcome;
    for (const auto& call : fake.shell.calls)
      outcome += call.operation + " " + call.file + " " + std::to_string(call.show);
    for (const auto& box : fake.messageBox.shown)
      outcome += " / " + box.prompt + " / " + std::to_string(box.buttons) + " " + box.title;
    outcome += " / exit " + std::to_string(f.ExitCode()) + (fake.window->Unloaded() ? " closed" : "");
    if (const auto at = outcome.find(dir.Path()); at != std::string::npos)
      outcome.replace(at, dir.Path().size(), "<dir>");
    EXPECT_EQ(outcome, expected);
  }
}

TEST(RegisterMessages, AsksUpToTenTimesWhileTheAnswerIsZero) {
  const std::tuple<std::deque<std::uint32_t>, int, std::int32_t> rows[] = {
      {{}, 1, static_cast<std::int32_t>(StableMessageId("lkSMsgGeneral"))},
      {{0, 0, 0, 0, 0, 0, 0, 0, 0xC124}, 9, 0xC124},
      {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0xC125}, 10, 0},  // the tenth attempt fails whatever it returned
  };
  for (const auto& [answers, calls, kept] : rows) {
    FakePlatform fake;
    frmMain form(fake.Services(), "updates.test");
    fake.messages.registerResults = answers;
    try {
      form.Installer.RegisterMessages();
    } catch (const RuntimeError& e) {
      EXPECT_EQ(std::to_string(e.Number()) + " " + e.Description(), "-2147220504 Couldn't register window messages.");
    }
    EXPECT_EQ(fake.messages.registerCalls, calls) << answers.size();
    EXPECT_EQ(form.Installer.MsgGeneral, kept) << answers.size();
  }
}
}  // namespace
