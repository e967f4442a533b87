// Known-answer tables for the rules the catalog's values must pass, the
// version rule among them.
#include "catalog/catalog_rules.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {
struct TextRow {
  std::string input;
  std::string expected;  // for a check, "refused " before what is left when it fails
};

// A check that rewrites its text in place.
std::string Checked(bool (*check)(std::string&), std::string text) {
  const bool ok = check(text);
  return (ok ? "" : "refused ") + text;
}

TEST(CatalogRules, TextKnownAnswers) {
  // The final character is never the separator; code-page letters change case too.
  const TextRow names[] = {{"http://host/dir/setup.msi", "setup.msi"},
                           {"  http://host/a/b.exe  ", "b.exe"},
                           {"c:\\dl\\setup.msi", "setup.msi"},
                           {"http://host/a\\b.msi", "b.msi"},
                           {"a/b/", "b/"},
                           {"/", "/"},
                           {"  x  ", "x"},
                           {"http://www.larkspire.example", "www.larkspire.example"}};
  for (const auto& r : names) EXPECT_EQ(FileNameFromUrl(r.input), r.expected) << r.input;
  const TextRow urls[] = {{"  HTTP://Host/Dir/\xC3\x89T\xC3\x89.MSI  ", "http://host/dir/\xC3\xA9t\xC3\xA9.msi"},
                          {"http://h/\xC5\xA0\xC5\xB8\xC3\x97.msi", "http://h/\xC5\xA1\xC3\xBF\xC3\x97.msi"},
                          {"https://host/setup.msi", "refused https://host/setup.msi"},
                          {"http:/host/setup.msi", "refused http:/host/setup.msi"},
                          {"http://host/dir.d/setup", "refused http://host/dir.d/setup"}};
  for (const auto& r : urls) EXPECT_EQ(Checked(CheckUrl, r.input), r.expected) << r.input;
  const TextRow crcs[] = {{"  0a1b2c3d ", "0A1B2C3D"}, {"FFFFFFFF", "FFFFFFFF"}, {"0a1b2c3", "refused "},
                          {"0a1b2c3d4", "refused "},   {"0a1b2c3g", "refused "}, {"0x1b2c3d", "refused "},
                          {"-a1b2c3d", "refused "},    {"0a1b 2c3", "refused "}};
  for (const auto& r : crcs) EXPECT_EQ(Checked(CheckCrcText, r.input), r.expected) << r.input;
}

struct VersionRow {
  const char* installed;
  const char* offered;
  bool newer;
  const char* offeredAfter;  // checked and trimmed; "0" when it is no version
};

// An installed text that is no number never loses; the major part may have any
// length, even none; beyond the signed 32-bit range nothing is newer.
TEST(IsNewerVersion, KnownAnswers) {
  const VersionRow rows[] = {
      {"2.01.0003", "2.01.0004", true, "2.01.0004"},
      {"2.01.0003", "2.01.0003", false, "2.01.0003"},
      {"2.01.0003", "2.00.0009", false, "2.00.0009"},
      {"2.01.0003", "2.02.0000", true, "2.02.0000"},
      {"9.99.9999", "10.00.0000", true, "10.00.0000"},
      {"2.01.0003", "  2.01.0004  ", true, "2.01.0004"},
      {" 3.02.0012 ", "3.02.0013", true, "3.02.0013"},
      {"", "3.02.0013", false, "3.02.0013"},
      {"0", ".00.0001", true, ".00.0001"},
      {"0", "2147.48.3647", true, "2147.48.3647"},
      {"0", "2147.48.3648", false, "2147.48.3648"},
      {"0", "2.1.3", false, "0"},
      {"0", "3.02.00123", false, "0"},
      {"0", "02.0012", false, "0"},
      {"0", "2.01.000a", false, "0"},
  };
  for (const auto& r : rows) {
    std::string offered = r.offered;
    EXPECT_EQ(IsNewerVersion(r.installed, offered), r.newer) << r.installed << " vs " << r.offered;
    EXPECT_EQ(offered, r.offeredAfter) << r.installed << " vs " << r.offered;
  }
}
}  // namespace
