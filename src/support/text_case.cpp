#include "support/text_case.hpp"

#include <algorithm>
#include <array>
#include <iterator>
#include <map>
#include <vector>

#include "support/codepage.hpp"

namespace {
struct FoldPair {
  char32_t from, to;
};
// Every code point that folds to another one, in code point order.
constexpr FoldPair kSimpleFolding[] = {
#include "unicode_simple_folding.inc"
};

char32_t Find(const FoldPair* begin, const FoldPair* end, char32_t c) {
  const FoldPair* at = std::lower_bound(begin, end, c, [](const FoldPair& p, char32_t v) { return p.from < v; });
  return at != end && at->from == c ? at->to : c;
}

// For each folded code point, the first code point of its case class.
const std::vector<FoldPair>& ClassFirsts() {
  static const std::vector<FoldPair> firsts = [] {
    std::map<char32_t, char32_t> first;
    for (const FoldPair& p : kSimpleFolding) {
      auto [at, made] = first.try_emplace(p.to, p.to);
      at->second = std::min(at->second, p.from);
    }
    std::vector<FoldPair> out;
    for (const auto& [folded, key] : first) out.push_back({folded, key});
    return out;
  }();
  return firsts;
}

// The code page's letters in the other case, as bytes: a pair is two
// letters of the code page that fold alike.
struct CodePageCase {
  std::array<unsigned char, 256> lower{}, upper{};
};
const CodePageCase& CodePageCases() {
  static const CodePageCase cases = [] {
    CodePageCase t;
    for (int b = 0; b < 256; ++b) t.lower[b] = t.upper[b] = static_cast<unsigned char>(b);
    for (int b = 0; b < 256; ++b) {
      const char32_t cp = Cp1252ToCodePoint(static_cast<unsigned char>(b));
      const auto folded = CodePointToCp1252(FoldCodePoint(cp));
      if (!folded || *folded == b) continue;
      t.lower[b] = *folded;
      t.upper[*folded] = static_cast<unsigned char>(b);
    }
    return t;
  }();
  return cases;
}

char32_t InCodePage(char32_t c, const std::array<unsigned char, 256>& table) {
  const auto byte = CodePointToCp1252(c);
  return byte ? Cp1252ToCodePoint(table[*byte]) : c;
}

template <char32_t (*Map)(char32_t) noexcept>
std::string MapText(std::string_view utf8) {
  std::u32string cps = Utf8ToCodePoints(utf8);
  for (char32_t& c : cps) c = Map(c);
  return CodePointsToUtf8(cps);
}
}  // namespace

char32_t FoldCodePoint(char32_t c) noexcept { return Find(std::begin(kSimpleFolding), std::end(kSimpleFolding), c); }

char32_t CaseClassKey(char32_t c) noexcept {
  const std::vector<FoldPair>& firsts = ClassFirsts();
  return Find(firsts.data(), firsts.data() + firsts.size(), FoldCodePoint(c));
}

char32_t LowerCodePoint(char32_t c) noexcept { return InCodePage(c, CodePageCases().lower); }
char32_t UpperCodePoint(char32_t c) noexcept { return InCodePage(c, CodePageCases().upper); }

std::string LCase(std::string_view utf8) { return MapText<LowerCodePoint>(utf8); }
std::string UCase(std::string_view utf8) { return MapText<UpperCodePoint>(utf8); }

unsigned char UpperAnsiByte(unsigned char byte) noexcept { return CodePageCases().upper[byte]; }
