#include "install_state/product_id_rules.hpp"

#include <cstdio>

#include "install_state/version_rules.hpp"
#include "support/codepage.hpp"

namespace {
// The transformation over the first count characters of text.
std::string Transform(const std::string& key, const std::u32string& text, std::size_t count) {
  const std::string k = Utf8ToAnsi(key);
  if (k.empty()) return "";
  std::u32string out;
  out.reserve(count);
  std::size_t j = 0;
  for (std::size_t i = 0; i < count && i < text.size(); ++i) {
    const unsigned char c = CodePointToCp1252(text[i]).value_or('?');
    const auto flipped = static_cast<unsigned char>(c < 128 ? c + 128 : c - 128);
    out += Cp1252ToCodePoint(static_cast<unsigned char>(flipped ^ static_cast<unsigned char>(k[j])));
    if (++j == k.size()) j = 0;
  }
  return CodePointsToUtf8(out);
}
}  // namespace

std::string ScrambleText(const std::string& key, const std::string& text) {
  if (text.empty()) return "";
  const std::u32string cps = Utf8ToCodePoints(text);
  return Transform(key, cps, cps.size());
}

std::string UnscrambleText(const std::string& key, const std::string& text) {
  try {
    return Transform(key, Utf8ToCodePoints(text), CharCount(TrimSpaces(text)));
  } catch (const std::exception&) {
    return "";
  }
}

bool IsValidProductID(const std::string& id) {
  if (id.size() != 36) return false;  // only single-byte characters can pass below
  if (id[8] != '-' || id[13] != '-' || id[18] != '-' || id[23] != '-') return false;
  for (char c : id) {
    const bool ok = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || c == '-';
    if (!ok) return false;
  }
  return true;
}

std::string FormatProductID(const Guid& g) {
  char hex[33];
  std::snprintf(hex, sizeof hex, "%08X%04X%04X%02X%02X%02X%02X%02X%02X%02X%02X", g.Data1, g.Data2, g.Data3,
                g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  const std::string h(hex);
  return h.substr(0, 8) + "-" + h.substr(8, 4) + "-" + h.substr(12, 4) + "-" + h.substr(16, 4) + "-" + h.substr(20);
}
