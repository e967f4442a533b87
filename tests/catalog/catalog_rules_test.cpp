// Known-answer tables for the rules the catalog's values must pass.
#include "catalog/catalog_rules.hpp"

#include <gtest/gtest.h>

#include "catalog/number_text.hpp"
#include "catalog/text_case.hpp"

namespace {
struct TextCase {
  const char* input;
  const char* expected;
};

TEST(FileNameFromUrl, KnownAnswers) {
  const TextCase cases[] = {
      // the last path part
      {"http://host/dir/setup.msi", "setup.msi"},
      {"http://host/setup.msi", "setup.msi"},
      {"  http://host/a/b.exe  ", "b.exe"},
      // backslashes count as separators
      {"c:\\dl\\setup.msi", "setup.msi"},
      {"http://host/a\\b.msi", "b.msi"},
      // a final separator is never the one taken
      {"a/b/", "b/"},
      {"http://host/dir/", "dir/"},
      {"/", "/"},
      // no separator: the trimmed text
      {"setup.msi", "setup.msi"},
      {"  plain  ", "plain"},
      {"", ""},
      {"x", "x"},
      // an address without a path gives its host
      {"http://www.larkspire.example", "www.larkspire.example"},
      {"http://host/browser/updchk.ndf", "updchk.ndf"},
  };
  for (const auto& c : cases) EXPECT_EQ(FileNameFromUrl(c.input), c.expected) << "input: " << c.input;
}

struct UrlCase {
  const char* input;
  bool accepted;
  const char* stored;
};

TEST(CheckUrl, KnownAnswers) {
  const UrlCase cases[] = {
      {"http://host/dir/setup.msi", true, "http://host/dir/setup.msi"},
      // blanks, capitals: stored trimmed and wholly in lower case
      {"  HTTP://Host.Example/Dir/Setup.MSI  ", true, "http://host.example/dir/setup.msi"},
      {"http://127.0.0.1:8731/updates/setup-3.02.msi", true, "http://127.0.0.1:8731/updates/setup-3.02.msi"},
      // other schemes
      {"ftp://host/dir/setup.msi", false, "ftp://host/dir/setup.msi"},
      {"https://host/dir/setup.msi", false, "https://host/dir/setup.msi"},
      {"http:/host/setup.msi", false, "http:/host/setup.msi"},
      // the last part needs a "."
      {"http://host/dir/setup", false, "http://host/dir/setup"},
      {"http://host/dir.d/setup", false, "http://host/dir.d/setup"},
      {"", false, ""},
      // letters of the code page beyond ASCII are lowered too
      {"http://host/\xC3\x89T\xC3\x89.MSI", true, "http://host/\xC3\xA9t\xC3\xA9.msi"},
  };
  for (const auto& c : cases) {
    std::string url = c.input;
    EXPECT_EQ(CheckUrl(url), c.accepted) << "input: " << c.input;
    EXPECT_EQ(url, c.stored) << "input: " << c.input;
  }
}

TEST(CheckCrcText, KnownAnswers) {
  const UrlCase cases[] = {
      {"0a1b2c3d", true, "0A1B2C3D"},
      {"CBF43926", true, "CBF43926"},
      {"  cbf43926 ", true, "CBF43926"},
      {"00000000", true, "00000000"},
      {"FFFFFFFF", true, "FFFFFFFF"},
      // seven or nine digits
      {"0a1b2c3", false, ""},
      {"0a1b2c3d4", false, ""},
      // a letter beyond F, a sign, a prefix, an inner blank
      {"0a1b2c3g", false, ""},
      {"-a1b2c3d", false, ""},
      {"0x1b2c3d", false, ""},
      {"0a1b 2c3", false, ""},
      {"", false, ""},
  };
  for (const auto& c : cases) {
    std::string crc = c.input;
    EXPECT_EQ(CheckCrcText(crc), c.accepted) << "input: " << c.input;
    EXPECT_EQ(crc, c.stored) << "input: " << c.input;
  }
}

struct VersionCase {
  const char* installed;
  const char* offered;
  bool newer;
  const char* offeredAfter;
};

TEST(IsNewerVersion, KnownAnswers) {
  const VersionCase cases[] = {
      // by build, minor and major
      {"2.01.0003", "2.01.0004", true, "2.01.0004"},
      {"2.01.0003", "2.01.0003", false, "2.01.0003"},
      {"2.01.0003", "2.01.0002", false, "2.01.0002"},
      {"2.01.0003", "2.02.0000", true, "2.02.0000"},
      {"2.01.0003", "3.00.0000", true, "3.00.0000"},
      {"9.99.9999", "10.00.0000", true, "10.00.0000"},
      // the catalog's version is trimmed
      {"2.01.0003", "  2.01.0004  ", true, "2.01.0004"},
      // a version that fails the format check becomes "0" and is not newer
      {"2.01.0003", "2.1.3", false, "0"},
      {"0", "2.1.3", false, "0"},
      {"0", "", false, "0"},
      {"0", "2.01.000a", false, "0"},
      {"0", "+2.01.0003", false, "0"},
      // nothing installed: any valid version is newer
      {"0", "1.00.0000", true, "1.00.0000"},
      {"0", "0.00.0001", true, "0.00.0001"},
      // a major part of any length, even none
      {"0", ".00.0001", true, ".00.0001"},
      // beyond the signed 32-bit range: not newer
      {"0", "3000.00.0000", false, "3000.00.0000"},
      {"0", "2147.48.3648", false, "2147.48.3648"},
      {"0", "2147.48.3647", true, "2147.48.3647"},
      // the product's stored version may carry blanks around it
      {" 3.02.0012 ", "3.02.0013", true, "3.02.0013"},
      {" 3.02.0012 ", "3.02.0012", false, "3.02.0012"},
      // an installed text that is no number never loses
      {"", "3.02.0013", false, "3.02.0013"},
  };
  for (const auto& c : cases) {
    std::string offered = c.offered;
    EXPECT_EQ(IsNewerVersion(c.installed, offered), c.newer) << c.installed << " vs " << c.offered;
    EXPECT_EQ(offered, c.offeredAfter) << c.installed << " vs " << c.offered;
  }
}

TEST(NumberText, WholeNumbersAndTheirRange) {
  EXPECT_TRUE(IsWholeNumber("0"));
  EXPECT_TRUE(IsWholeNumber("00"));
  EXPECT_TRUE(IsWholeNumber("-1"));
  EXPECT_TRUE(IsWholeNumber("+12"));
  EXPECT_TRUE(IsWholeNumber(" 612 "));
  EXPECT_TRUE(IsWholeNumber("99999999999999999999"));
  EXPECT_FALSE(IsWholeNumber(""));
  EXPECT_FALSE(IsWholeNumber("-"));
  EXPECT_FALSE(IsWholeNumber("0.0"));
  EXPECT_FALSE(IsWholeNumber("1e3"));
  EXPECT_FALSE(IsWholeNumber("12a"));
  EXPECT_FALSE(IsWholeNumber("1 2"));
  EXPECT_FALSE(IsWholeNumber("\t1"));

  EXPECT_EQ(ParseInt32("612"), 612);
  EXPECT_EQ(ParseInt32(" +612 "), 612);
  EXPECT_EQ(ParseInt32("-5"), -5);
  EXPECT_EQ(ParseInt32("2147483647"), 2147483647);
  EXPECT_EQ(ParseInt32("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(ParseInt32("0000000000000000000007"), 7);
  EXPECT_EQ(ParseInt32("2147483648"), std::nullopt);
  EXPECT_EQ(ParseInt32("-2147483649"), std::nullopt);
  EXPECT_EQ(ParseInt32("99999999999999999999"), std::nullopt);
  EXPECT_EQ(ParseInt32("6 12"), std::nullopt);
}

TEST(TextCase, LettersOfTheCodePage) {
  EXPECT_EQ(LCase("ABC xyz 123"), "abc xyz 123");
  EXPECT_EQ(UCase("abc XYZ 123"), "ABC XYZ 123");
  // À..Þ and à..þ, without × and ÷
  EXPECT_EQ(LCase("\xC3\x80\xC3\x9E\xC3\x97"), "\xC3\xA0\xC3\xBE\xC3\x97");
  EXPECT_EQ(UCase("\xC3\xA0\xC3\xBE\xC3\xB7"), "\xC3\x80\xC3\x9E\xC3\xB7");
  // Š Œ Ž Ÿ pair with š œ ž ÿ
  EXPECT_EQ(LCase("\xC5\xA0\xC5\x92\xC5\xBD\xC5\xB8"), "\xC5\xA1\xC5\x93\xC5\xBE\xC3\xBF");
  EXPECT_EQ(UCase("\xC5\xA1\xC5\x93\xC5\xBE\xC3\xBF"), "\xC5\xA0\xC5\x92\xC5\xBD\xC5\xB8");
  // ß has no single upper-case letter in the code page
  EXPECT_EQ(UCase("\xC3\x9F"), "\xC3\x9F");
  EXPECT_EQ(UpperAnsiByte('a'), 'A');
  EXPECT_EQ(UpperAnsiByte(0xE9), 0xC9);  // é
  EXPECT_EQ(UpperAnsiByte(0x9A), 0x8A);  // š
  EXPECT_EQ(UpperAnsiByte(0xFF), 0x9F);  // ÿ
  EXPECT_EQ(UpperAnsiByte('1'), '1');
}
}  // namespace
