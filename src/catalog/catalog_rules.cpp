#include "catalog/catalog_rules.hpp"

#include <algorithm>

#include "catalog/number_text.hpp"
#include "install_state/path_helpers.hpp"
#include "install_state/version_rules.hpp"
#include "support/text_case.hpp"

namespace {
std::string WithoutPoints(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), '.'), text.end());
  return text;
}

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

bool IsAsciiAlnum(unsigned char c) { return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z'); }

// The length of the Latin letter (U+00C0 to U+024F, not x or the division
// sign) that s starts with in UTF-8, or 0.
std::size_t LatinLetterLength(std::string_view s) {
  if (s.size() < 2 || (s[1] & 0xC0) != 0x80) return 0;
  const unsigned code = (static_cast<unsigned char>(s[0]) & 0x1F) << 6 | (static_cast<unsigned char>(s[1]) & 0x3F);
  const bool twoBytes = (static_cast<unsigned char>(s[0]) & 0xE0) == 0xC0;
  return twoBytes && code >= 0xC0 && code <= 0x24F && code != 0xD7 && code != 0xF7 ? 2 : 0;
}

bool IsDeviceName(std::string base) {
  base = LCase(base);
  if (base == "con" || base == "prn" || base == "aux" || base == "nul") return true;
  return base.size() == 4 && (base.starts_with("com") || base.starts_with("lpt")) && base[3] >= '0' && base[3] <= '9';
}
}  // namespace

bool IsSafePackageName(const std::string& sName) {
  if (sName.empty() || sName[0] == '-' || sName[0] == '.') return false;
  for (std::size_t i = 0; i < sName.size();) {
    const unsigned char c = static_cast<unsigned char>(sName[i]);
    if (IsAsciiAlnum(c) || c == '.' || c == '_' || c == '~' || c == '-') {
      ++i;
    } else if (const std::size_t n = LatinLetterLength(std::string_view(sName).substr(i)); n) {
      i += n;
    } else {
      return false;
    }
  }
  return !IsDeviceName(sName.substr(0, sName.find('.')));
}

std::optional<std::int64_t> ParsePackageSize(const std::string& sText) {
  const std::string digits = TrimSpaces(sText);
  if (digits.empty() || digits.size() > 18 || digits.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  const std::int64_t size = std::stoll(digits);
  return size > 0 ? std::optional(size) : std::nullopt;
}

std::string FileNameFromUrl(const std::string& sText) {
  const std::string trimmed = TrimSpaces(sText);
  const std::string slashed = ReplaceChars(trimmed, "\\", "/");
  if (slashed.size() < 2) return trimmed;
  // The final character never counts as the separator, so "a/b/" gives "b/".
  const std::size_t p = slashed.rfind('/', slashed.size() - 2);
  return p == std::string::npos ? trimmed : slashed.substr(p + 1);
}

bool CheckUrl(std::string& sUrl) {
  sUrl = LCase(TrimSpaces(sUrl));
  return sUrl.starts_with("http://") && FileNameFromUrl(sUrl).find('.') != std::string::npos;
}

bool CheckCrcText(std::string& sCrc) {
  sCrc = UCase(TrimSpaces(sCrc));
  if (sCrc.size() == 8 && std::all_of(sCrc.begin(), sCrc.end(), IsHexDigit)) return true;
  sCrc.clear();
  return false;
}

bool IsNewerVersion(const std::string& installedVersion, std::string& sVersion) {
  sVersion = GetValidVersion(sVersion);
  const auto offered = ParseInt32(WithoutPoints(sVersion));
  const auto installed = ParseInt32(WithoutPoints(installedVersion));
  return offered && installed && *offered > *installed;
}
