// The version rule: whether the catalog's version of a component is newer
// than the installed one.
#include "catalog/catalog_rules.hpp"

#include <gtest/gtest.h>

// Whether it is newer, and the version as the catalog keeps it. An installed
// text that is no number never loses; the major part may have any length,
// even none; beyond the signed 32-bit range nothing is newer.
TEST(IsNewerVersion, KnownAnswers) {
  const std::tuple<const char*, const char*, const char*> rows[] = {
      {" 2.01.0003 ", "  2.01.0004  ", "1 2.01.0004"},
      {"2.01.0003", "2.01.0003", "0 2.01.0003"},
      {"9.99.9999", "10.00.0000", "1 10.00.0000"},
      {"", "3.02.0013", "0 3.02.0013"},
      {"0", ".00.0001", "1 .00.0001"},
      {"0", "2147.48.3647", "1 2147.48.3647"},
      {"0", "2147.48.3648", "0 2147.48.3648"},
      {"0", "2.1.3", "0 0"},
      {"0", "3.02.00123", "0 0"},
      {"0", "02.0012", "0 0"},
      {"0", "2.01.000a", "0 0"},
  };
  for (const auto& [installed, offered, expected] : rows) {
    std::string version = offered;
    const bool newer = IsNewerVersion(installed, version);
    EXPECT_EQ(std::to_string(newer) + " " + version, expected) << installed << " vs " << offered;
  }
}
