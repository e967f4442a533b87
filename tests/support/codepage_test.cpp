// Windows-1252, the single-byte code page of every text that crosses the
// registry: both directions, and what happens to what it cannot hold.
#include "support/codepage.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(Codepage, EveryByteSurvivesARoundTrip) {
  for (int b = 0; b < 256; ++b) {
    const std::string byte(1, static_cast<char>(b));
    const std::string text = AnsiToUtf8(byte);
    EXPECT_EQ(Utf8ToAnsi(text), byte) << "byte " << b;
    EXPECT_EQ(Utf8ToAnsiExact(text), byte) << "byte " << b;
    EXPECT_EQ(CodePointToCp1252(Cp1252ToCodePoint(static_cast<unsigned char>(b))), static_cast<unsigned char>(b));
  }
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(all)), all);
  EXPECT_EQ(CharCount(AnsiToUtf8(all)), 256u) << "one character per byte";
}

struct CodeRow {
  unsigned char byte;
  char32_t codePoint;
};

class Windows1252Table : public ::testing::TestWithParam<CodeRow> {};

TEST_P(Windows1252Table, MapsTheByteToItsCharacter) {
  EXPECT_EQ(Cp1252ToCodePoint(GetParam().byte), GetParam().codePoint);
  EXPECT_EQ(CodePointToCp1252(GetParam().codePoint), GetParam().byte);
}

INSTANTIATE_TEST_SUITE_P(Bytes, Windows1252Table,
                         ::testing::Values(CodeRow{0x00, 0x0000}, CodeRow{0x41, U'A'}, CodeRow{0x7F, 0x007F},
                                           CodeRow{0x80, 0x20AC} /* € */, CodeRow{0x82, 0x201A},
                                           CodeRow{0x85, 0x2026} /* … */, CodeRow{0x8A, 0x0160} /* Š */,
                                           CodeRow{0x8C, 0x0152} /* Œ */, CodeRow{0x92, 0x2019},
                                           CodeRow{0x99, 0x2122} /* ™ */, CodeRow{0x9F, 0x0178} /* Ÿ */,
                                           CodeRow{0xA0, 0x00A0}, CodeRow{0xE9, 0x00E9} /* é */, CodeRow{0xFF, 0x00FF},
                                           // The five bytes the code page leaves undefined keep their number.
                                           CodeRow{0x81, 0x0081}, CodeRow{0x8D, 0x008D}, CodeRow{0x8F, 0x008F},
                                           CodeRow{0x90, 0x0090}, CodeRow{0x9D, 0x009D}));

struct TextRow {
  const char* what;
  std::string utf8;
  std::string ansi;
};

class ToWindows1252 : public ::testing::TestWithParam<TextRow> {};

TEST_P(ToWindows1252, ReplacesWhatItCannotHoldByAQuestionMark) {
  EXPECT_EQ(Utf8ToAnsi(GetParam().utf8), GetParam().ansi);
  const bool exact = GetParam().ansi.find('?') == std::string::npos;
  EXPECT_EQ(Utf8ToAnsiExact(GetParam().utf8).has_value(), exact);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ToWindows1252,
    ::testing::Values(
        TextRow{"ascii", "3.02.0012", "3.02.0012"}, TextRow{"empty", "", ""},
        TextRow{"letters of the page", "caf\xC3\xA9 \xE2\x82\xAC\xC5\xA0", "caf\xE9 \x80\x8A"},
        TextRow{"a character beyond it", "\xE6\xBC\xA2", "?"}, TextRow{"Latin beyond it", "\xC4\x80", "?"},
        TextRow{"mixed", "\xE2\x82\xAC\xE6\xBC\xA2\xC3\xA9", "\x80?\xE9"},
        TextRow{"outside the basic plane", "a\xF0\x9F\x98\x80z", "a?z"}, TextRow{"a cut sequence", "\xC3", "?"},
        TextRow{"a bad continuation", "\xC3(", "?("}, TextRow{"an overlong form", "\xC0\xAF", "??"},
        TextRow{"an encoded surrogate", "\xED\xA0\x80", "???"}, TextRow{"a stray continuation byte", "\x80", "?"}),
    [](const ::testing::TestParamInfo<TextRow>& info) {
      std::string name;
      for (char c : std::string(info.param.what)) name += c == ' ' ? '_' : c;
      return name;
    });

TEST(Codepage, CountsCharactersNotBytes) {
  EXPECT_EQ(CharCount(""), 0u);
  EXPECT_EQ(CharCount("abc"), 3u);
  EXPECT_EQ(CharCount("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"), 4u);
  EXPECT_EQ(CharCount("\xC3"), 1u) << "a broken byte counts as one";
}

TEST(Utf16, LittleEndianCodeUnits) {
  EXPECT_EQ(Utf8ToUtf16LeBytes("A\xE2\x82\xAC"), (std::vector<std::uint8_t>{0x41, 0x00, 0xAC, 0x20}));
  EXPECT_EQ(Utf8ToUtf16LeBytes("\xF0\x9F\x98\x80"), (std::vector<std::uint8_t>{0x3D, 0xD8, 0x00, 0xDE}));
  EXPECT_EQ(Utf8ToUtf16LeBytes(""), std::vector<std::uint8_t>{});

  EXPECT_EQ(Utf16LeBytesToUtf8({0x41, 0x00, 0xAC, 0x20}), "A\xE2\x82\xAC");
  EXPECT_EQ(Utf16LeBytesToUtf8({0x3D, 0xD8, 0x00, 0xDE}), "\xF0\x9F\x98\x80");
  EXPECT_EQ(Utf16LeBytesToUtf8({0x41, 0x00, 0x42}), "A") << "a final odd byte is ignored";
  EXPECT_EQ(Utf16LeBytesToUtf8({0x00, 0xD8, 0x41, 0x00}),
            "\xEF\xBF\xBD"
            "A")
      << "a lone surrogate";
  EXPECT_EQ(Utf16LeBytesToUtf8({0x41, 0x00, 0x00, 0x00}), std::string("A\0", 2)) << "a zero unit is a character";
}

}  // namespace
