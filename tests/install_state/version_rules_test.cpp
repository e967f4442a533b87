// Version texts of the shape d.dd.dddd, and the trimming that goes with them.
#include "install_state/version_rules.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

struct VersionRow {
  const char* what;
  std::string value;
  const char* expected;
};

class GetValidVersionOfText : public ::testing::TestWithParam<VersionRow> {};

TEST_P(GetValidVersionOfText, GivesTheTrimmedVersionOrZero) {
  EXPECT_EQ(GetValidVersion(GetParam().value), GetParam().expected);
  EXPECT_EQ(GetValidVersion(RegValue(GetParam().value)), GetParam().expected) << "as a registry value";
}

INSTANTIATE_TEST_SUITE_P(
    Versions, GetValidVersionOfText,
    ::testing::Values(VersionRow{"valid", "3.02.0012", "3.02.0012"}, VersionRow{"component", "1.00.0001", "1.00.0001"},
                      VersionRow{"blanks around", " 1.00.0001 ", "1.00.0001"},
                      VersionRow{"long major", "2024.11.0007", "2024.11.0007"},
                      VersionRow{"no major at all", ".02.0012", ".02.0012"},
                      VersionRow{"short minor and build", "3.2.12", "0"}, VersionRow{"short build", "3.02.12", "0"},
                      VersionRow{"letter in the build", "3.02.001a", "0"}, VersionRow{"two parts", "2.00", "0"},
                      VersionRow{"long build", "3.02.00123", "0"}, VersionRow{"too short", "02.0012", "0"},
                      VersionRow{"empty", "", "0"}, VersionRow{"blanks only", "   ", "0"},
                      VersionRow{"the code-0 text of a created key", std::string(1, '\0'), "0"},
                      VersionRow{"a tab is no blank", "3.02.0012\t", "0"}, VersionRow{"sign", "-3.02.0012", "0"},
                      VersionRow{"inner blank", "3. 2.0012", "0"}, VersionRow{"commas", "3,02,0012", "0"},
                      VersionRow{"wide digits", "\xEF\xBC\x93.02.0012", "0"}, VersionRow{"points only", "....", "0"},
                      VersionRow{"points in the right places only", "..........", "0"}),
    [](const ::testing::TestParamInfo<VersionRow>& info) {
      std::string name;
      for (char c : std::string(info.param.what)) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      return name;
    });

TEST(GetValidVersionOfOtherValues, NumbersAndArraysAreNoVersions) {
  EXPECT_EQ(GetValidVersion(RegValue(std::int32_t{30200012})), "0");
  EXPECT_EQ(GetValidVersion(RegValue(ByteArray{'3', '.', '0', '2', '.', '0', '0', '1', '2', 0})), "0");
}

TEST(TrimSpaces, RemovesOnlyTheSpaceCharacter) {
  EXPECT_EQ(TrimSpaces("  a b  "), "a b");
  EXPECT_EQ(TrimSpaces("\ta\t"), "\ta\t");
  EXPECT_EQ(TrimSpaces("    "), "");
  EXPECT_EQ(TrimSpaces(""), "");
  EXPECT_EQ(TrimSpaces(std::string(" \0 ", 3)), std::string(1, '\0'));
}

}  // namespace
