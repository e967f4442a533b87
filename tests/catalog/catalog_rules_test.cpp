// The version rule: whether the catalog's version of a component is newer
// than the installed one.
#include "catalog/catalog_rules.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {
// An installed text that is no number never loses; the major part may have
// any length, even none; beyond the signed 32-bit range nothing is newer.
TEST(IsNewerVersion, KnownAnswers) {
  const std::tuple<const char*, const char*, bool, const char*> rows[] = {
      {"2.01.0003", "2.01.0004", true, "2.01.0004"},
      {"2.01.0003", "2.01.0003", false, "2.01.0003"},
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

}  // namespace
