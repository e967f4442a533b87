// The update-information file as the catalog reads it: the profile rules
// over its bytes, the reader over a real file, and the component table that
// reading leaves.
#include <gtest/gtest.h>

#include "catalog/profile_parser.hpp"
#include "catalog/update_catalog.hpp"
#include "catalog_text.hpp"
#include "fakes/fake_platform.hpp"

namespace {
using namespace std::string_literals;

std::string Padded(std::size_t size) {
  std::string bytes = "[s]\nk=v\n";
  bytes.resize(size, ' ');
  return bytes;
}

// The value of key "k" in section "s" of each file; "<none>" when nothing is found.
TEST(ProfileDocument, KnownAnswers) {
  const std::pair<std::string, std::string> rows[] = {
      {"[S]\r\nK=a\r\n[t]\r\nk=b\r\n", "a"},
      {"[t]\nk=1\n", "<none>"},
      {"  [ s ]  \n  k \t=\t a b  \r\n", "a b"},
      {"[s]\nk='single'\n", "single"},
      {"[s]\nk=\"mixed'\n", "\"mixed'"},
      {"[s]\nk=\"\n", "\""},
      {"[s]\nk= \"\"x\"\" \n", "\"x\""},
      {"[s]\nk=first\nK=second\n", "first"},
      {"[s]\n[S]\nk=later\n", "<none>"},  // the first section of a name wins
      {"[s]\nk\nk=1\n", "<none>"},        // a key without "=" hides a later one
      {"[s]\rj=1\rk=a;b=c", "a;b=c"},
      {"k=1\n[s]\n", "<none>"},
      {"[s\nk=1\n", "<none>"},
      {"[s] trailing\nk=2\n", "2"},
      {"[s]\nk=v\n\0"s, "<none>"},  // a NUL: no text
      {"\xEF\xBB\xBF[s]\nk=Caf\xC3\xA9\n", "Caf\xE9"},
      {"\xFF\xFE[\0s\0]\0\n\0k\0=\0\xE9\0\x2D\x4E"s, "\xE9?"},  // UTF-16, a letter beyond the code page
      {"\xFE\xFF\0[\0s\0]\0\n\0k\0=\x20\xAC"s, "\x80"},
      {Padded(kMaxProfileBytes), "v"},
      {Padded(kMaxProfileBytes + 1), "<none>"},
  };
  for (const auto& [bytes, value] : rows)
    EXPECT_EQ(ProfileDocument::Parse(bytes).Value("s", "k").value_or("<none>"), value) << bytes.substr(0, 40);
  EXPECT_EQ(ProfileDocument::Parse("[\xC9]\nk=1\n").Value("\xE9", "K"), "1") << "letters of the code page fold";
}

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
  // A value is read through a buffer of 255 characters, and handed on in UTF-8.
  EXPECT_EQ(Read(CatalogBytes("larkspire.version=3.02.0013 quillon.exename=Caf\xE9" + std::string(260, 'x'))),
            "1" + setup + " larkspire 3.02.0013 rillgauge 1.00.0000 caf\xC3\xA9" + std::string(250, 'x') +
                " 1.00.0002 qvmclock 0.50.0000");
  table[1].sDownloadedFile = "kept";
  EXPECT_EQ(Read(CatalogBytes("rillgauge.enabled=0 qvmclock.enabled=0")), "1" + setup + " quillon.exe 1.00.0002")
      << "a retry leaves nothing of the first reading behind";
  EXPECT_EQ(table[1].sDownloadedFile, "kept");
  EXPECT_EQ(Read(CatalogBytes() + " "), "0" + setup.substr(9) + " quillon.exe 1.00.0002") << "the table stays";
  EXPECT_EQ(Read(CatalogBytes("quillon.enabled=0 rillgauge.enabled=0 qvmclock.enabled=0")), "2" + setup);
  EXPECT_EQ(Read(CatalogBytes("setup.enabled=0")), "3" + setup);
  EXPECT_EQ(Read(Padded(kMaxProfileBytes + 1)), "0" + setup.substr(9)) << "too large to be a profile file";
  table[0].sDownloadedFile = dir.Path() + "missing.ndf";
  EXPECT_EQ(catalog.ReadUpdateInfo(table[0].sDownloadedFile), crError);
}
}  // namespace
