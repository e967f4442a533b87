#include "support/codepage.hpp"

namespace {
// Code points of bytes 0x80..0x9F. Undefined bytes keep their own number.
constexpr char32_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                                0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                                0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
}  // namespace

char32_t Cp1252ToCodePoint(unsigned char byte) noexcept {
  if (byte >= 0x80 && byte <= 0x9F) return kHigh[byte - 0x80];
  return byte;
}

std::optional<unsigned char> CodePointToCp1252(char32_t cp) noexcept {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<unsigned char>(cp);
  for (int i = 0; i < 32; ++i)
    if (kHigh[i] == cp) return static_cast<unsigned char>(0x80 + i);
  return std::nullopt;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::optional<char32_t> NextCodePoint(std::string_view s, std::size_t& i) noexcept {
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  int len = 0;
  char32_t cp = 0;
  if ((b0 & 0xE0) == 0xC0) {
    len = 2;
    cp = b0 & 0x1F;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3;
    cp = b0 & 0x0F;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4;
    cp = b0 & 0x07;
  } else {
    ++i;
    return std::nullopt;
  }
  if (i + len > s.size()) {
    ++i;
    return std::nullopt;
  }
  for (int k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) {
      ++i;
      return std::nullopt;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  static constexpr char32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++i;
    return std::nullopt;
  }
  i += len;
  return cp;
}

namespace {
std::optional<char32_t> DecodeOne(std::string_view s, std::size_t& i) { return NextCodePoint(s, i); }
}  // namespace

std::size_t FirstInvalidUtf8(std::string_view s) noexcept {
  // Runs of ASCII need no decoding; whole registry files go through here.
  for (std::size_t i = 0; i < s.size();) {
    if (static_cast<unsigned char>(s[i]) < 0x80) {
      ++i;
      continue;
    }
    const std::size_t at = i;
    if (!NextCodePoint(s, i)) return at;
  }
  return std::string_view::npos;
}

std::u32string Utf8ToCodePoints(std::string_view utf8) {
  std::u32string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) out += DecodeOne(utf8, i).value_or(0xFFFD);
  return out;
}

std::string CodePointsToUtf8(std::u32string_view cps) {
  std::string out;
  out.reserve(cps.size());
  for (char32_t cp : cps) AppendUtf8(out, cp);
  return out;
}

std::size_t CharCount(std::string_view utf8) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < utf8.size();) {
    DecodeOne(utf8, i);
    ++n;
  }
  return n;
}

std::string AnsiToUtf8(std::string_view ansi) {
  std::string out;
  out.reserve(ansi.size());
  // Runs of ASCII are the same in both; copy them whole, as whole registry
  // files go through here on every save.
  std::size_t i = 0;
  while (i < ansi.size()) {
    std::size_t j = i;
    while (j < ansi.size() && static_cast<unsigned char>(ansi[j]) < 0x80) ++j;
    out.append(ansi, i, j - i);
    if (j == ansi.size()) break;
    AppendUtf8(out, Cp1252ToCodePoint(static_cast<unsigned char>(ansi[j])));
    i = j + 1;
  }
  return out;
}

std::string Utf8ToAnsi(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const auto cp = DecodeOne(utf8, i);
    const auto byte = cp ? CodePointToCp1252(*cp) : std::nullopt;
    out += static_cast<char>(byte.value_or('?'));
  }
  return out;
}

std::optional<std::string> Utf8ToAnsiExact(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const auto cp = DecodeOne(utf8, i);
    if (!cp) return std::nullopt;
    const auto byte = CodePointToCp1252(*cp);
    if (!byte) return std::nullopt;
    out += static_cast<char>(*byte);
  }
  return out;
}

std::vector<std::uint8_t> Utf8ToUtf16LeBytes(std::string_view utf8) {
  std::vector<std::uint8_t> out;
  for (char32_t cp : Utf8ToCodePoints(utf8)) {
    auto put = [&out](char32_t unit) {
      out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
      out.push_back(static_cast<std::uint8_t>((unit >> 8) & 0xFF));
    };
    if (cp >= 0x10000) {
      cp -= 0x10000;
      put(0xD800 + (cp >> 10));
      put(0xDC00 + (cp & 0x3FF));
    } else {
      put(cp);
    }
  }
  return out;
}

std::string Utf16LeBytesToUtf8(const std::vector<std::uint8_t>& bytes) {
  std::string out;
  const std::size_t units = bytes.size() / 2;
  for (std::size_t u = 0; u < units; ++u) {
    char32_t unit = bytes[2 * u] | (bytes[2 * u + 1] << 8);
    if (unit >= 0xD800 && unit <= 0xDBFF && u + 1 < units) {
      char32_t low = bytes[2 * u + 2] | (bytes[2 * u + 3] << 8);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        ++u;
        continue;
      }
    }
    AppendUtf8(out, unit);  // lone surrogates become U+FFFD in AppendUtf8
  }
  return out;
}
