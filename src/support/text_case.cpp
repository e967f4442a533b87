#include "support/text_case.hpp"

#include <array>

#include "support/codepage.hpp"

namespace {
// The few letters of the code page outside Latin-1 pair up irregularly.
struct CasePair {
  char32_t upper, lower;
};
constexpr std::array<CasePair, 4> kIrregular = {
    {{0x0160, 0x0161}, {0x0152, 0x0153}, {0x017D, 0x017E}, {0x0178, 0x00FF}}};

bool IsLatin1Upper(char32_t c) { return (c >= U'A' && c <= U'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7); }
bool IsLatin1Lower(char32_t c) { return (c >= U'a' && c <= U'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7); }

template <char32_t (*Map)(char32_t) noexcept>
std::string MapText(std::string_view utf8) {
  std::u32string cps = Utf8ToCodePoints(utf8);
  for (char32_t& c : cps) c = Map(c);
  return CodePointsToUtf8(cps);
}
}  // namespace

char32_t LowerCodePoint(char32_t c) noexcept {
  if (IsLatin1Upper(c)) return c + 0x20;
  for (const CasePair& p : kIrregular)
    if (c == p.upper) return p.lower;
  return c;
}

char32_t UpperCodePoint(char32_t c) noexcept {
  if (IsLatin1Lower(c)) return c - 0x20;
  for (const CasePair& p : kIrregular)
    if (c == p.lower) return p.upper;
  return c;
}

std::string LCase(std::string_view utf8) { return MapText<LowerCodePoint>(utf8); }
std::string UCase(std::string_view utf8) { return MapText<UpperCodePoint>(utf8); }

unsigned char UpperAnsiByte(unsigned char byte) noexcept {
  static const std::array<unsigned char, 256> table = [] {
    std::array<unsigned char, 256> t{};
    for (int b = 0; b < 256; ++b) {
      const auto upper = CodePointToCp1252(UpperCodePoint(Cp1252ToCodePoint(static_cast<unsigned char>(b))));
      t[b] = upper ? *upper : static_cast<unsigned char>(b);
    }
    return t;
  }();
  return table[byte];
}
