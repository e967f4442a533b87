// The catalog reading a downloaded update-information file from a real
// file: the table it leaves, entry 0's flag and the outcome.
#include <gtest/gtest.h>

#include "catalog/update_catalog.hpp"
#include "catalog_text.hpp"
#include "fakes/fake_platform.hpp"

namespace {
class ReadUpdateInfoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The Welcome page's entry 0.
    table.assign(1, UpdateComponent{});
    table[0].sSourceUrl = kInfoUrl;
    table[0].sFileName = "updchk.ndf";
  }

  // Writes the downloaded file and reads it as the download controller does.
  void Read(const std::string& bytes) {
    WriteFileBytes(dir.File("updchk.ndf"), bytes);
    table[0].sDownloadedFile = dir.Path() + "updchk.ndf";
    result = catalog.ReadUpdateInfo(table[0].sDownloadedFile);
  }

  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (std::size_t i = 2; i < table.size(); ++i) names.push_back(table[i].sFileName);
    return names;
  }

  const std::string kInfoUrl = "http://updates.test:8731/browser/updchk.ndf";
  TempDir dir;
  FakePlatform fake;
  ComponentTableType table;
  std::string appVersion = "3.02.0012";
  InstalledVersionList installed = {"3.02.0012", "0", "1.00.0001", "0", "0", "0"};
  UpdateCatalog catalog{fake.Services(), table, appVersion, installed, kInfoUrl};
  CatalogResult result = crError;
};

TEST_F(ReadUpdateInfoTest, UpdatesAvailableFillsTheTable) {
  Read(CatalogText::Good().Bytes());
  EXPECT_EQ(result, crUpdatesAvailable);
  ASSERT_EQ(table.size(), 5u);
  EXPECT_TRUE(table[0].bVerified);
  EXPECT_EQ(table[0].sFileName, "updchk.ndf");
  const UpdateComponent& setup = table[1];
  EXPECT_EQ(setup.sSourceUrl, "http://updates.test:8731/dl/setup.msi");
  EXPECT_EQ(setup.sFileName, "setup.msi");
  EXPECT_EQ(setup.sCrc, "CBF43926");
  EXPECT_EQ(Names(), (std::vector<std::string>{"rillgauge", "quillon.exe", "qvmclock"}));
  EXPECT_EQ(table[3].sVersion, "1.00.0002");
}

TEST_F(ReadUpdateInfoTest, TheProductComparesWithItsStoredVersion) {
  auto text = CatalogText::Good();
  text.sections["larkspire"] = "enabled=1\r\nversion= 3.02.0013 \r\nexename=Larkspire.exe\r\n";
  appVersion = " 3.02.0012 ";
  // The copy in InstalledVersions is not what the product compares with.
  installed[0] = "9.99.9999";
  Read(text.Bytes());
  ASSERT_GE(table.size(), 3u);
  EXPECT_EQ(table[2].sFileName, "larkspire.exe");
  EXPECT_EQ(table[2].sVersion, "3.02.0013");
}

TEST_F(ReadUpdateInfoTest, UpToDateKeepsExactlyEntriesZeroAndOne) {
  auto text = CatalogText::Good();
  for (const char* s : {"rillgauge", "quillon", "qvmclock"}) text.sections[s] = "enabled=0\r\n";
  Read(text.Bytes());
  EXPECT_EQ(result, crUpToDate);
  ASSERT_EQ(table.size(), 2u);
  EXPECT_TRUE(table[0].bVerified);
  EXPECT_EQ(table[1].sFileName, "setup.msi");
}

TEST_F(ReadUpdateInfoTest, ARetryLeavesNothingOfTheFirstReadingBehind) {
  Read(CatalogText::Good().Bytes());
  ASSERT_EQ(table.size(), 5u);
  table[1].sDownloadedFile = "kept";
  auto text = CatalogText::Good();
  text.sections["rillgauge"] = "enabled=0\r\n";
  text.sections["qvmclock"] = "enabled=0\r\n";
  Read(text.Bytes());
  EXPECT_EQ(Names(), std::vector<std::string>{"quillon.exe"});
  // entry 1's other fields keep their values
  EXPECT_EQ(table[1].sDownloadedFile, "kept");
}

TEST_F(ReadUpdateInfoTest, AnUnusableFileIsAnErrorAndLeavesTheTable) {
  Read(CatalogText::Good().Bytes());
  const auto before = table.size();
  std::string bytes = CatalogText::Good().Bytes();
  bytes += "\r\n";  // two bytes more than "size" says
  Read(bytes);
  EXPECT_EQ(result, crError);
  EXPECT_FALSE(table[0].bVerified);
  EXPECT_EQ(table.size(), before);
}

TEST_F(ReadUpdateInfoTest, SwitchedOffIsNotAvailable) {
  auto text = CatalogText::Good();
  text.sections["setup"] = "size=@SIZE@\r\nenabled=0\r\n";
  Read(text.Bytes());
  EXPECT_EQ(result, crNotAvailable);
  EXPECT_TRUE(table[0].bVerified);
  EXPECT_EQ(table.size(), 1u);
}

TEST_F(ReadUpdateInfoTest, GetIniValueReadsEntryZerosFileInWindows1252) {
  const std::string longValue(300, 'x');
  WriteFileBytes(dir.File("updchk.ndf"),
                 "[setup]\r\nurl =  \"http://h/a.msi\"  \r\ncrc=\r\nlong=" + longValue + "\r\nexe=Caf\xE9.exe\r\n");
  EXPECT_EQ(catalog.GetIniValue("setup", "url"), "");  // no downloaded file yet
  table[0].sDownloadedFile = dir.Path() + "updchk.ndf";
  EXPECT_EQ(catalog.GetIniValue("SETUP", "URL"), "http://h/a.msi");
  EXPECT_EQ(catalog.GetIniValue("setup", "crc"), "");
  EXPECT_EQ(catalog.GetIniValue("setup", "size"), "");
  EXPECT_EQ(catalog.GetIniValue("setup", "long"), longValue.substr(0, 254));
  EXPECT_EQ(catalog.GetIniValue("setup", "exe"), "Caf\xC3\xA9.exe");
}

}  // namespace
