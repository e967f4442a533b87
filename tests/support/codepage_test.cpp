// Windows-1252, the code page of every text that crosses the registry, and
// UTF-16: both directions, and what happens to what they cannot hold.
#include "support/codepage.hpp"

#include <gtest/gtest.h>

namespace {

TEST(Codepage, EveryByteSurvivesARoundTripAndTheTableHoldsItsCharacters) {
  for (int b = 0; b < 256; ++b) {
    const std::string byte(1, static_cast<char>(b));
    EXPECT_EQ(Utf8ToAnsiExact(AnsiToUtf8(byte)), byte) << b;
    EXPECT_EQ(CharCount(AnsiToUtf8(byte)), 1u) << b;
  }
  // The euro sign, "Š", "Ÿ", the undefined 0x81 and 0x9D that keep their number, and the Latin-1 half.
  EXPECT_EQ(AnsiToUtf8("\x80\x8A\x9F\x81\x9D\xA0\xE9\xFF"), "\u20AC\u0160\u0178\u0081\u009D\u00A0\u00E9\u00FF");
}

TEST(Codepage, ReplacesWhatItCannotHoldByAQuestionMark) {
  const std::pair<std::string, std::string> rows[] = {{"caf\xC3\xA9 \xE2\x82\xAC", "caf\xE9 \x80"},
                                                      {"\xE6\xBC\xA2\xC3\xA9", "?\xE9"},
                                                      {"a\xF0\x9F\x98\x80z", "a?z"},
                                                      {"\xC3(", "?("},
                                                      {"\xC0\xAF", "??"},
                                                      {"\xED\xA0\x80", "???"}};
  for (const auto& [utf8, ansi] : rows) {
    EXPECT_EQ(Utf8ToAnsi(utf8), ansi);
    EXPECT_EQ(Utf8ToAnsiExact(utf8).has_value(), ansi.find('?') == std::string::npos) << ansi;
  }
  EXPECT_EQ(CharCount("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xC3"), 5u) << "a broken byte counts as one";
}

TEST(Utf16, LittleEndianCodeUnits) {
  EXPECT_EQ(Utf8ToUtf16LeBytes("A\xE2\x82\xAC\xF0\x9F\x98\x80"),
            (std::vector<std::uint8_t>{0x41, 0, 0xAC, 0x20, 0x3D, 0xD8, 0x00, 0xDE}));
  EXPECT_EQ(Utf16LeBytesToUtf8({0x41, 0, 0xAC, 0x20, 0x3D, 0xD8, 0x00, 0xDE, 0, 0, 0x42}),
            std::string("A\xE2\x82\xAC\xF0\x9F\x98\x80\0", 9))
      << "a zero unit is a character; a final odd byte is ignored";
  EXPECT_EQ(Utf16LeBytesToUtf8({0x00, 0xD8, 0x41, 0x00}),
            "\xEF\xBF\xBD"
            "A")
      << "a lone surrogate";
}

}  // namespace
