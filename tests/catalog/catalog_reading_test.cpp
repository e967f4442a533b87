// The catalog's outcome from its values: each result, and which check
// decides when several things are wrong.
#include "catalog/catalog_reading.hpp"

#include <gtest/gtest.h>

#include "catalog/catalog_rules.hpp"
#include "catalog/profile_parser.hpp"
#include "catalog_text.hpp"

namespace {
// Rows 1 to 6: larkspire 3.02.0012 and quillon 1.00.0001 are installed.
const std::string kInstalled[] = {"", "3.02.0012", "0", "1.00.0001", "0", "0", "0"};
const char* const kResults[] = {"error", "updates", "up to date", "not available"};

// The reading in one line: the result, the package, the listed components.
std::string Evaluate(const std::string& bytes, std::int64_t length) {
  const ProfileDocument doc = ProfileDocument::Parse(bytes);
  const CatalogReading r = EvaluateCatalog(
      [&](const std::string& section, const std::string& key) {
        EXPECT_NE(std::find(ComponentKeys.begin(), ComponentKeys.end(), section), ComponentKeys.end()) << section;
        return doc.Value(section, key).value_or("");
      },
      length, [](int row, std::string& version) { return IsNewerVersion(kInstalled[row], version); });
  std::string s = kResults[r.result];
  if (!r.setupUrl.empty()) s += " " + r.setupUrl + " " + r.setupFileName + " " + r.setupCrc;
  for (const auto& c : r.components) s += ", " + c.sFileName + " " + c.sVersion;
  return s;
}

TEST(EvaluateCatalog, OutcomeOfEachFile) {
  const std::string package = " http://updates.test:8731/dl/setup.msi setup.msi CBF43926";
  const std::string listed = ", rillgauge 1.00.0000, quillon.exe 1.00.0002, qvmclock 0.50.0000";
  const struct {
    const char* edits;
    int lengthOff;
    std::string expected;
  } rows[] = {
      // larkspire is current, palvetta off, qvmpanel without a version
      {"", 0, "updates" + package + listed},
      {"rillgauge.enabled=0 quillon.version=1.00.0001 qvmclock.version=0.50", 0, "up to date" + package},
      {"palvetta.enabled=00", 0,
       "updates" + package + ", rillgauge 1.00.0000, quillon.exe 1.00.0002, palvetta 9.00.0000, qvmclock 0.50.0000"},
      {"setup.enabled=0.0 qvmpanel.enabled=1e3 setup.size=+01000 setup.crc=00000000", 0,
       "updates http://updates.test:8731/dl/setup.msi setup.msi 00000000" + listed},
      {"", -1, "error"},
      {"", 1, "error"},
      {"setup.size=1.0e3", 0, "error"},
      {"qvmclock.enabled=", 0, "error"},
      {"larkspire.enabled=1.0.0", 0, "error"},
      {"qvmpanel.enabled=1e", 0, "error"},
      {"setup.enabled=0x1", 0, "error"},
      {"setup.enabled=0 setup.url=ftp://h/s setup.crc=nothex", 0, "not available"},
      {"setup.enabled=0 -palvetta", 0, "error"},
      {"setup.url=ftp://h/s.msi", 0, "error"},
      {"setup.crc=cbf4392", 0, "error"},
  };
  for (const auto& row : rows)
    EXPECT_EQ(Evaluate(CatalogBytes(row.edits), kCatalogLength + row.lengthOff), row.expected) << row.edits;
}
}  // namespace
