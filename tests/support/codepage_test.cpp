// Windows-1252, the code page of every text that crosses the registry, and
// UTF-16: both directions, and what happens to what they cannot hold.
#include "support/codepage.hpp"

#include <gtest/gtest.h>

TEST(Codepage, EveryByteSurvivesARoundTripAndWhatItCannotHoldBecomesAQuestionMark) {
  for (int b = 0; b < 256; ++b)
    EXPECT_EQ(Utf8ToAnsiExact(AnsiToUtf8(std::string(1, static_cast<char>(b)))), std::string(1, static_cast<char>(b)));
  // The euro sign, "Š", "Ÿ", the undefined 0x81 and 0x9D that keep their number, and the Latin-1 half.
  EXPECT_EQ(AnsiToUtf8("\x80\x8A\x9F\x81\x9D\xA0\xE9\xFF"), "\u20AC\u0160\u0178\u0081\u009D\u00A0\u00E9\u00FF");
  const std::string utf8 = "\xE6\xBC\xA2\xC3\xA9\xF0\x9F\x98\x80\xC3(\xC0\xAF\xED\xA0\x80";  // 漢 é 😀, then broken
  EXPECT_TRUE(Utf8ToAnsi(utf8) == std::string("?\xE9?") + "?(?????" && !Utf8ToAnsiExact(utf8) && CharCount(utf8) == 10u)
      << "a broken byte counts as one";
}

TEST(Codepage, Utf16InLittleEndianCodeUnits) {
  EXPECT_EQ(Utf8ToUtf16LeBytes("A\xE2\x82\xAC\xF0\x9F\x98\x80"),
            (std::vector<std::uint8_t>{0x41, 0, 0xAC, 0x20, 0x3D, 0xD8, 0x00, 0xDE}));
  EXPECT_EQ(Utf16LeBytesToUtf8({0x41, 0, 0xAC, 0x20, 0x3D, 0xD8, 0x00, 0xDE, 0, 0, 0x00, 0xD8, 0x41, 0, 0x42}),
            std::string("A\xE2\x82\xAC\xF0\x9F\x98\x80\0\xEF\xBF\xBD", 12) + "A")
      << "a zero unit is a character, a lone surrogate a replacement, a final odd byte nothing";
}
