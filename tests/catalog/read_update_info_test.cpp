// The catalog reading a downloaded update-information file from a real
// file: the table it leaves, entry 0's flag and the outcome.
#include <gtest/gtest.h>

#include "catalog/update_catalog.hpp"
#include "catalog_text.hpp"
#include "fakes/fake_platform.hpp"

namespace {
class ReadUpdateInfoTest : public ::testing::Test {
 protected:
  // Reads bytes as the downloaded file; the outcome and the table in one line.
  std::string Read(const std::string& bytes) {
    WriteFileBytes(dir.File("updchk.ndf"), bytes);
    table[0].sDownloadedFile = dir.Path() + "updchk.ndf";
    std::string s = std::to_string(catalog.ReadUpdateInfo(table[0].sDownloadedFile));
    if (table[0].bVerified) s += " verified";
    for (std::size_t i = 1; i < table.size(); ++i)
      for (const std::string* f : {&table[i].sFileName, &table[i].sSourceUrl, &table[i].sVersion, &table[i].sCrc})
        if (!f->empty()) s += " " + *f;
    return s;
  }

  TempDir dir;
  FakePlatform fake;
  ComponentTableType table = ComponentTableType(1);
  std::string appVersion = " 3.02.0012 ";
  // The product compares with its stored version, not with this copy.
  InstalledVersionList installed = {"9.99.9999", "0", "1.00.0001", "0", "0", "0"};
  UpdateCatalog catalog{fake.Services(), table, appVersion, installed, "http://updates.test/browser/updchk.ndf"};
};

TEST_F(ReadUpdateInfoTest, EachOutcomeLeavesItsTable) {
  const std::string setup = " verified setup.msi http://updates.test:8731/dl/setup.msi CBF43926";
  EXPECT_EQ(Read(CatalogBytes("larkspire.version=3.02.0013 quillon.exename=Caf\xE9" + std::string(260, 'x'))),
            "1" + setup + " larkspire 3.02.0013 rillgauge 1.00.0000 caf\xC3\xA9" + std::string(250, 'x') +
                " 1.00.0002 qvmclock 0.50.0000");
  table[1].sDownloadedFile = "kept";
  EXPECT_EQ(Read(CatalogBytes("rillgauge.enabled=0 qvmclock.enabled=0")), "1" + setup + " quillon.exe 1.00.0002")
      << "a retry leaves nothing of the first reading behind";
  EXPECT_EQ(table[1].sDownloadedFile, "kept");
  EXPECT_EQ(Read(CatalogBytes() + " "), "0" + setup.substr(9) + " quillon.exe 1.00.0002") << "the table stays";
  EXPECT_EQ(Read(CatalogBytes("rillgauge.enabled=0 quillon.enabled=0 qvmclock.enabled=0")), "2" + setup);
  EXPECT_EQ(Read(CatalogBytes("setup.enabled=0")), "3" + setup);
  table[0].sDownloadedFile.clear();
  EXPECT_EQ(catalog.GetIniValue("setup", "size"), "") << "nothing downloaded";
}
}  // namespace
