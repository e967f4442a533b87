// The check of a downloaded package and its copy into the product folder,
// on real files: one row per situation.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "fakes/fake_platform.hpp"
#include "install/crc32.hpp"
#include "install/integrity.hpp"
#include "wizard/frm_main.hpp"

namespace {
namespace fs = std::filesystem;
const std::string kFox = "The quick brown fox jumps over the lazy dog";
const std::string kLarge(3 * kCrcReadPiece + 12345, 'p');

const char* const kNoFolder = "(no product folder)";

struct Situation {
  const char* name;
  std::string file;     // as the catalog names it
  std::string taken;    // names already in the product folder
  std::string outcome;  // "copied NAME", "kept WHY" (verified but not copied) or "refused"
  std::string crc = "414fa339";
  std::optional<std::string> bytes = kFox;  // the download; nothing when it is missing
  int variants = 0;                         // "s0.m" onwards taken too
};

void PrintTo(const Situation& s, std::ostream* os) { *os << s.name; }

class VerifyDownload : public ::testing::TestWithParam<Situation> {};

TEST_P(VerifyDownload, ChecksThenCopies) {
  const Situation& r = GetParam();
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
  std::string outcome = copied ? "copied " + entry.sTargetFile.substr(form.Installed.State.AppPath.size()) : "refused";
  if (!copied && entry.bVerified) outcome = "kept " + form.Installer.CopyFailure;
  const std::string failurePrefix = "The update could not be copied to " + app + ": ";
  if (outcome.starts_with("kept " + failurePrefix)) outcome.erase(5, failurePrefix.size());
  EXPECT_EQ(outcome, r.outcome);
  if (!copied) {
    EXPECT_EQ(entry.sTargetFile, "earlier");
    EXPECT_EQ(fake.events.pointer.empty(), !r.outcome.starts_with("kept P")) << "the pointer is back however it ends";
    return;
  }
  EXPECT_EQ(form.Installer.CopyFailure, "");
  EXPECT_EQ(ReadFileBytes(app + "/" + outcome.substr(7)), *r.bytes);
  EXPECT_EQ(fake.files.GetAttr(entry.sTargetFile) & (Attr::ReadOnly | Attr::Hidden), 0);
  EXPECT_EQ(ReadFileBytes(dir.File("download.tmp")), *r.bytes) << "the download stays for the clean-up";
  EXPECT_EQ(fake.events.pointer, (std::vector<bool>{true, false}));
}

INSTANTIATE_TEST_SUITE_P(
    Situations, VerifyDownload,
    ::testing::Values(Situation{"Good", "setup.msi", "", "copied setup.msi"},
                      Situation{"CrcInCapitals", "setup.msi", "", "copied setup.msi", "414FA339"},
                      Situation{"CrcWithALeadingZero", "setup.msi", "", "copied setup.msi", "07a1c45a", "package 23"},
                      Situation{"LargerThanAPiece", "setup.msi", "", "copied setup.msi", FormatCrc(Crc32(kLarge)),
                                kLarge},
                      Situation{"Mismatch", "setup.msi", "", "refused", "414fa338"},
                      Situation{"Missing", "setup.msi", "", "refused", "414fa339", std::nullopt},
                      Situation{"Empty", "setup.msi", "", "refused", "00000000", ""},
                      Situation{"ParentFolder", "../setup.msi", "", "refused"},
                      Situation{"ParentFolderWithBackslash", "..\\setup.msi", "", "refused"},
                      Situation{"Points", "..", "", "refused"}, Situation{"Drive", "x:setup.msi", "", "refused"},
                      Situation{"TakenNames", "setup.msi", "setup.msi setup0.msi", "copied setup1.msi"},
                      Situation{"OnlyAnExtension", ".msi", ".msi", "copied 0.msi"},
                      Situation{"VariantOutsideTheFolder", "setup", "setup", "kept no free file name"},
                      Situation{"LastFreeName", "s.m", "s.m", "copied s31999.m", "414fa339", kFox, 31999},
                      Situation{"NoFreeName", "s.m", "s.m", "kept no free file name", "414fa339", kFox, 32000},
                      Situation{"CopyFails", "setup.msi", kNoFolder, "kept Path not found"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SplitExtension, KnownAnswers) {
  const struct {
    const char *path, *base, *ext;
  } rows[] = {{"setup.msi", "setup", "msi"},
              {"archive.tar.gz", "archive.tar", "gz"},
              {"ends.", "ends", ""},
              {"setup", "setup", ""},
              {".profile", ".profile", ""},
              {"..", ".", ""},
              {"Z:\\app.d\\setup", "Z:\\app", "d\\setup"}};
  for (const auto& r : rows) {
    EXPECT_EQ(SplitExtension(r.path, false), r.base) << r.path;
    EXPECT_EQ(SplitExtension(r.path, true), r.ext) << r.path;
  }
}
}  // namespace
