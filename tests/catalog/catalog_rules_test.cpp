// The rules the catalog's values must pass, the version rule among them,
// and the catalog's outcome from its values: each result, and which check
// decides when several things are wrong.
#include "catalog/catalog_rules.hpp"

#include <gtest/gtest.h>

#include "catalog/catalog_reading.hpp"
#include "catalog/profile_parser.hpp"
#include "catalog_text.hpp"

namespace {
// A check that rewrites its text in place: what it left, after "refused " when it fails.
std::string Checked(bool (*check)(std::string&), std::string text) {
  const bool ok = check(text);
  return (ok ? "" : "refused ") + text;
}

TEST(CatalogRules, KnownAnswers) {
  const std::pair<std::string, std::string> names[] = {
      {"  http://host/a\\b.msi  ", "b.msi"},
      {"a/b/", "b/"},  // the final character is never the separator
      {"x", "x"},
      {"http://www.larkspire.example", "www.larkspire.example"},
  };
  for (const auto& [url, name] : names) EXPECT_EQ(FileNameFromUrl(url), name) << url;
  const std::pair<std::string, std::string> checked[] = {
      {"  HTTP://Host/Dir/\xC3\x89T\xC3\x89.MSI  ", "http://host/dir/\xC3\xA9t\xC3\xA9.msi"},
      {"https://host/setup.msi", "refused https://host/setup.msi"},
      {"http://host/dir.d/setup", "refused http://host/dir.d/setup"},
  };
  for (const auto& [url, after] : checked) EXPECT_EQ(Checked(CheckUrl, url), after) << url;
  for (const auto& [crc, after] : std::vector<std::pair<std::string, std::string>>{
           {" 0a1b2c3d ", "0A1B2C3D"}, {"0a1b2c3", "refused "}, {"0a1b2c3d4", "refused "}, {"0a1b2c3g", "refused "}})
    EXPECT_EQ(Checked(CheckCrcText, crc), after) << crc;
}

// An installed text that is no number never loses; the major part may have
// any length, even none; beyond the signed 32-bit range nothing is newer.
TEST(IsNewerVersion, KnownAnswers) {
  const std::tuple<const char*, const char*, bool, const char*> rows[] = {
      {"2.01.0003", "2.01.0004", true, "2.01.0004"},
      {"2.01.0003", "2.01.0003", false, "2.01.0003"},
      {"2.01.0003", "2.00.0009", false, "2.00.0009"},
      {"9.99.9999", "10.00.0000", true, "10.00.0000"},
      {" 3.02.0012 ", "  3.02.0013  ", true, "3.02.0013"},
      {"", "3.02.0013", false, "3.02.0013"},
      {"0", ".00.0001", true, ".00.0001"},
      {"0", "2147.48.3647", true, "2147.48.3647"},
      {"0", "2147.48.3648", false, "2147.48.3648"},
      {"0", "2.1.3", false, "0"},
      {"0", "3.02.00123", false, "0"},
      {"0", "02.0012", false, "0"},
      {"0", "2.01.000a", false, "0"},
  };
  for (const auto& [installed, offered, newer, after] : rows) {
    std::string version = offered;
    EXPECT_EQ(IsNewerVersion(installed, version), newer) << installed << " vs " << offered;
    EXPECT_EQ(version, after) << installed << " vs " << offered;
  }
}

// The reading of a file in one line: the result, the package, the listed components.
std::string Evaluate(const std::string& bytes, std::int64_t length) {
  static const std::string installed[] = {"", "3.02.0012", "0", "1.00.0001", "0", "0", "0"};
  const ProfileDocument doc = ProfileDocument::Parse(bytes);
  const CatalogReading r = EvaluateCatalog(
      [&](const std::string& section, const std::string& key) {
        EXPECT_NE(std::find(ComponentKeys.begin(), ComponentKeys.end(), section), ComponentKeys.end()) << section;
        return doc.Value(section, key).value_or("");
      },
      length, [](int row, std::string& version) { return IsNewerVersion(installed[row], version); });
  std::string s = std::to_string(r.result) + " " + r.setupUrl + " " + r.setupFileName + " " + r.setupCrc;
  for (const auto& c : r.components) s += ", " + c.sFileName + " " + c.sVersion;
  return s;
}

TEST(EvaluateCatalog, OutcomeOfEachFile) {
  const std::string good = "1 http://updates.test:8731/dl/setup.msi setup.msi CBF43926";
  const std::string listed = ", rillgauge 1.00.0000, quillon.exe 1.00.0002, qvmclock 0.50.0000", error = "0   ";
  const std::tuple<const char*, int, std::string> rows[] = {
      {"", 0, good + listed},  // larkspire is current, palvetta off, qvmpanel without a version
      {"rillgauge.enabled=0 quillon.version=1.00.0001 qvmclock.version=0.50", 0, "2" + good.substr(1)},
      {"palvetta.enabled=00", 0,
       good + ", rillgauge 1.00.0000, quillon.exe 1.00.0002, palvetta 9.00.0000, qvmclock 0.50.0000"},
      {"setup.enabled=0.0 qvmpanel.enabled=1e3 setup.size=+01000", 0, good + listed},
      {"", -1, error},
      {"", 1, error},
      {"setup.size=1.0e3", 0, error},
      {"qvmclock.enabled=", 0, error},
      {"larkspire.enabled=1.0.0", 0, error},
      {"setup.enabled=0x1", 0, error},
      {"setup.enabled=0 setup.url=ftp://h/s setup.crc=nothex", 0, "3   "},
      {"setup.enabled=0 -palvetta", 0, error},
      {"setup.url=ftp://h/s.msi", 0, error},
      {"setup.crc=cbf4392", 0, error},
  };
  for (const auto& [edits, off, expected] : rows)
    EXPECT_EQ(Evaluate(CatalogBytes(edits), kCatalogLength + off), expected) << edits;
}
}  // namespace
