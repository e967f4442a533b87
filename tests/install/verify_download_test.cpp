// The main window's integrity check on real files: the verified copy, its
// name and attributes, and every road that fails.
#include <gtest/gtest.h>

#include <filesystem>

#include "fakes/fake_platform.hpp"
#include "fakes/fake_window.hpp"
#include "install/crc32.hpp"
#include "install/integrity.hpp"
#include "wizard/frm_main.hpp"

namespace {
namespace fs = std::filesystem;

class VerifyDownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(dir.File("app"));
    fs::create_directory(dir.File("dl"));
    form = std::make_unique<frmMain>(fake.Services(), "updates.test:8731");
    form->Installed.State.AppPath = dir.Path() + "app\\";
    form->ComponentTable.resize(2);
    form->Transfer.CurrentIndex = 1;
    Package("setup.msi", "The quick brown fox jumps over the lazy dog", "414fa339");
  }

  // The downloaded package as the table holds it: bytes on disk, read-only
  // and hidden as the download controller leaves them.
  void Package(const std::string& name, const std::string& bytes, const std::string& crc) {
    content = bytes;
    const std::string native = dir.File("dl/download.tmp");
    if (fs::exists(native)) fs::permissions(native, fs::perms::owner_write, fs::perm_options::add);
    WriteFileBytes(native, bytes);
    downloaded = dir.Path() + "dl\\download.tmp";
    fake.files.SetAttr(downloaded, Attr::ReadOnly | Attr::Hidden);
    UpdateComponent& e = form->ComponentTable[1];
    e.sFileName = name;
    e.sCrc = crc;
    e.sDownloadedFile = downloaded;
  }

  bool Verify() { return form->Installer.VerifyDownload(downloaded); }
  const UpdateComponent& Entry() const { return form->ComponentTable[1]; }
  std::vector<std::string> FilesIn(const std::string& sub) const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.File(sub))) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  TempDir dir;
  FakePlatform fake;
  FakeEventLoop& events = fake.events;
  std::unique_ptr<frmMain> form;
  std::string content;
  std::string downloaded;
};

TEST_F(VerifyDownloadTest, AGoodPackageIsCopiedIntoTheProductFolder) {
  ASSERT_TRUE(Verify());
  EXPECT_TRUE(Entry().bVerified);
  EXPECT_EQ(Entry().sTargetFile, dir.Path() + "app\\setup.msi");
  EXPECT_EQ(ReadFileBytes(dir.File("app/setup.msi")), content);
  // the download stays where it is, for the controller's clean-up
  EXPECT_EQ(ReadFileBytes(dir.File("dl/download.tmp")), content);
  // the hourglass during the copy, with events let through on both sides
  EXPECT_EQ(events.pointer, (std::vector<bool>{true, false}));
  EXPECT_EQ(events.doEvents, 2);
}

TEST_F(VerifyDownloadTest, TheCopyHasOnlyTheArchiveAttribute) {
  ASSERT_EQ(fake.files.GetAttr(downloaded) & (Attr::ReadOnly | Attr::Hidden), Attr::ReadOnly | Attr::Hidden);
  ASSERT_TRUE(Verify());
  const std::int32_t a = fake.files.GetAttr(Entry().sTargetFile);
  EXPECT_EQ(a & (Attr::ReadOnly | Attr::Hidden | Attr::System), 0);
  // the archive bit lives in an extended attribute where the file system has them
  if (fake.files.GetAttr(downloaded) & Attr::Hidden) {
    EXPECT_EQ(a, Attr::Archive);
  }
}

TEST_F(VerifyDownloadTest, LowerCaseCrcTextMatches) {
  Package("setup.msi", "123456789", "cbf43926");
  EXPECT_TRUE(Verify());
}

TEST_F(VerifyDownloadTest, ACrcWithLeadingZerosMatches) {
  // Find a small package whose CRC is below 0x10000000.
  std::string bytes;
  for (int n = 0;; ++n) {
    bytes = "package " + std::to_string(n);
    if (Crc32(bytes) < 0x10000000u) break;
  }
  const std::string text = FormatCrc(Crc32(bytes));
  ASSERT_EQ(text[0], '0');
  Package("setup.msi", bytes, text);
  EXPECT_TRUE(Verify());
}

TEST_F(VerifyDownloadTest, AOneByteChangeAnywhereFails) {
  std::string bytes(100000, 'p');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
  const std::string crc = FormatCrc(Crc32(bytes));
  for (std::size_t at : {std::size_t{0}, bytes.size() / 2, bytes.size() - 1}) {
    std::string changed = bytes;
    changed[at] = static_cast<char>(changed[at] ^ 0x01);
    Package("setup.msi", changed, crc);
    EXPECT_FALSE(Verify()) << "changed at " << at;
    EXPECT_FALSE(Entry().bVerified);
  }
  EXPECT_TRUE(FilesIn("app").empty());
  Package("setup.msi", bytes, crc);
  EXPECT_TRUE(Verify());
}

TEST_F(VerifyDownloadTest, AnEmptyOrMissingDownloadFails) {
  Package("setup.msi", "", "00000000");
  EXPECT_FALSE(Verify());
  downloaded = dir.Path() + "dl\\missing.tmp";
  EXPECT_FALSE(Verify());
  EXPECT_FALSE(Entry().bVerified);
  EXPECT_TRUE(FilesIn("app").empty());
  EXPECT_TRUE(events.pointer.empty());
}

TEST_F(VerifyDownloadTest, TakenNamesGiveTheNextFreeOne) {
  WriteFileBytes(dir.File("app/setup.msi"), "old");
  WriteFileBytes(dir.File("app/setup0.msi"), "older");
  ASSERT_TRUE(Verify());
  EXPECT_EQ(Entry().sTargetFile, dir.Path() + "app\\setup1.msi");
  EXPECT_EQ(ReadFileBytes(dir.File("app/setup1.msi")), content);
  EXPECT_EQ(ReadFileBytes(dir.File("app/setup.msi")), "old");
  EXPECT_EQ(ReadFileBytes(dir.File("app/setup0.msi")), "older");
}

TEST_F(VerifyDownloadTest, NamesThatLeadOutOfTheProductFolderFail) {
  for (const char* name : {"", ".", "..", "...", "../setup.msi", "..\\setup.msi", "sub/setup.msi", "x:setup.msi"}) {
    form->ComponentTable[1].sFileName = name;
    EXPECT_FALSE(Verify()) << "name: " << name;
    EXPECT_FALSE(Entry().bVerified) << "name: " << name;
  }
  EXPECT_TRUE(FilesIn("app").empty());
  EXPECT_EQ(FilesIn(""), (std::vector<std::string>{"app", "dl"}));
  EXPECT_EQ(FilesIn("dl"), std::vector<std::string>{"download.tmp"});
}

TEST_F(VerifyDownloadTest, AVariantNameNeverLeavesTheProductFolder) {
  // A name without a point takes its variant's point from the folder's
  // name: such a variant is refused rather than written beside the folder.
  fs::rename(dir.File("app"), dir.File("app.d"));
  form->Installed.State.AppPath = dir.Path() + "app.d\\";
  WriteFileBytes(dir.File("app.d/setup"), "taken");
  Package("setup", content, "414fa339");
  EXPECT_FALSE(Verify());
  EXPECT_EQ(FilesIn(""), (std::vector<std::string>{"app.d", "dl"}));
}

TEST_F(VerifyDownloadTest, ACopyThatFailsAfterTheMatchKeepsTheFlag) {
  form->Installed.State.AppPath = dir.Path() + "no-such-folder\\";
  form->ComponentTable[1].sTargetFile = "earlier";
  EXPECT_FALSE(Verify());
  EXPECT_TRUE(Entry().bVerified);
  EXPECT_EQ(Entry().sTargetFile, "earlier");
  // the pointer comes back however the copy ends
  EXPECT_EQ(events.pointer, (std::vector<bool>{true, false}));
}

TEST_F(VerifyDownloadTest, ATableResetWhileEventsRunIsSafe) {
  events.onDoEvents = [this] { form->ComponentTable.resize(1); };
  EXPECT_FALSE(Verify());
  EXPECT_EQ(form->ComponentTable.size(), 1u);
}

}  // namespace
