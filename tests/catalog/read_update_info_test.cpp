// The main window reading a downloaded update-information file from a real
// file: the table it leaves, entry 0's flag, the page and the result shown.
#include <gtest/gtest.h>

#include "catalog_text.hpp"
#include "fakes/fake_platform.hpp"
#include "fakes/fake_window.hpp"
#include "platform/common/profile_file_reader.hpp"
#include "wizard/frm_main.hpp"

namespace {
class ReadUpdateInfoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form = std::make_unique<frmMain>(fake.Services(), "updates.test:8731");
    form->State.AppPath = dir.Path();
    form->State.AppVersion = "3.02.0012";
    form->State.InstalledVersions = {"3.02.0012", "0", "1.00.0001", "0", "0", "0"};
    // The Welcome page's entry 0.
    form->ComponentTable.assign(1, UpdateComponent{});
    form->ComponentTable[0].sSourceUrl = form->UpdateInfoUrl;
    form->ComponentTable[0].sFileName = "updchk.ndf";
  }

  // Writes the downloaded file and reads it as the download controller does.
  void Read(const std::string& bytes) {
    WriteFileBytes(dir.File("updchk.ndf"), bytes);
    form->ComponentTable[0].sDownloadedFile = dir.Path() + "updchk.ndf";
    form->CurrentPage = 3;
    form->ReadUpdateInfo(form->ComponentTable[0].sDownloadedFile);
  }

  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (std::size_t i = 2; i < form->ComponentTable.size(); ++i) names.push_back(form->ComponentTable[i].sFileName);
    return names;
  }

  TempDir dir;
  FakePlatform fake;
  FakeMainWindowView& window = fake.window;
  std::unique_ptr<frmMain> form;
};

TEST_F(ReadUpdateInfoTest, UpdatesAvailableFillsTheTable) {
  Read(CatalogText::Good().Bytes());
  EXPECT_EQ(form->CurrentPage, 5);
  ASSERT_EQ(form->ComponentTable.size(), 5u);
  EXPECT_TRUE(form->ComponentTable[0].bVerified);
  EXPECT_EQ(form->ComponentTable[0].sFileName, "updchk.ndf");
  const UpdateComponent& setup = form->ComponentTable[1];
  EXPECT_EQ(setup.sSourceUrl, "http://updates.test:8731/dl/setup.msi");
  EXPECT_EQ(setup.sFileName, "setup.msi");
  EXPECT_EQ(setup.sCrc, "CBF43926");
  EXPECT_EQ(Names(), (std::vector<std::string>{"rillgauge", "quillon.exe", "qvmclock"}));
  EXPECT_EQ(form->ComponentTable[3].sVersion, "1.00.0002");
}

TEST_F(ReadUpdateInfoTest, TheProductComparesWithItsStoredVersion) {
  auto text = CatalogText::Good();
  text.sections["larkspire"] = "enabled=1\r\nversion= 3.02.0013 \r\nexename=Larkspire.exe\r\n";
  form->State.AppVersion = " 3.02.0012 ";
  // The copy in InstalledVersions is not what the product compares with.
  form->State.InstalledVersions[0] = "9.99.9999";
  Read(text.Bytes());
  ASSERT_GE(form->ComponentTable.size(), 3u);
  EXPECT_EQ(form->ComponentTable[2].sFileName, "larkspire.exe");
  EXPECT_EQ(form->ComponentTable[2].sVersion, "3.02.0013");
}

TEST_F(ReadUpdateInfoTest, UpToDateKeepsExactlyEntriesZeroAndOne) {
  auto text = CatalogText::Good();
  for (const char* s : {"rillgauge", "quillon", "qvmclock"}) text.sections[s] = "enabled=0\r\n";
  Read(text.Bytes());
  EXPECT_EQ(form->CurrentPage, 5);
  ASSERT_EQ(form->ComponentTable.size(), 2u);
  EXPECT_TRUE(form->ComponentTable[0].bVerified);
  EXPECT_EQ(form->ComponentTable[1].sFileName, "setup.msi");
}

TEST_F(ReadUpdateInfoTest, ARetryLeavesNothingOfTheFirstReadingBehind) {
  Read(CatalogText::Good().Bytes());
  ASSERT_EQ(form->ComponentTable.size(), 5u);
  form->ComponentTable[1].sDownloadedFile = "kept";
  auto text = CatalogText::Good();
  text.sections["rillgauge"] = "enabled=0\r\n";
  text.sections["qvmclock"] = "enabled=0\r\n";
  Read(text.Bytes());
  EXPECT_EQ(Names(), std::vector<std::string>{"quillon.exe"});
  // entry 1's other fields keep their values
  EXPECT_EQ(form->ComponentTable[1].sDownloadedFile, "kept");
}

TEST_F(ReadUpdateInfoTest, AnUnusableFileIsAnErrorAndLeavesTheTable) {
  Read(CatalogText::Good().Bytes());
  const auto before = form->ComponentTable.size();
  std::string bytes = CatalogText::Good().Bytes();
  bytes += "\r\n";  // two bytes more than "size" says
  Read(bytes);
  EXPECT_EQ(form->CurrentPage, 5);
  EXPECT_FALSE(form->ComponentTable[0].bVerified);
  EXPECT_EQ(form->ComponentTable.size(), before);
}

TEST_F(ReadUpdateInfoTest, SwitchedOffIsNotAvailable) {
  auto text = CatalogText::Good();
  text.sections["setup"] = "size=@SIZE@\r\nenabled=0\r\n";
  Read(text.Bytes());
  EXPECT_EQ(form->CurrentPage, 5);
  EXPECT_TRUE(form->ComponentTable[0].bVerified);
  EXPECT_EQ(form->ComponentTable.size(), 1u);
}

TEST_F(ReadUpdateInfoTest, GetIniValueReadsEntryZerosFileInWindows1252) {
  const std::string longValue(300, 'x');
  WriteFileBytes(dir.File("updchk.ndf"),
                 "[setup]\r\nurl =  \"http://h/a.msi\"  \r\ncrc=\r\nlong=" + longValue + "\r\nexe=Caf\xE9.exe\r\n");
  EXPECT_EQ(form->GetIniValue("setup", "url"), "");  // no downloaded file yet
  form->ComponentTable[0].sDownloadedFile = dir.Path() + "updchk.ndf";
  EXPECT_EQ(form->GetIniValue("SETUP", "URL"), "http://h/a.msi");
  EXPECT_EQ(form->GetIniValue("setup", "crc"), "");
  EXPECT_EQ(form->GetIniValue("setup", "size"), "");
  EXPECT_EQ(form->GetIniValue("setup", "long"), longValue.substr(0, 254));
  EXPECT_EQ(form->GetIniValue("setup", "exe"), "Caf\xC3\xA9.exe");
}

}  // namespace
