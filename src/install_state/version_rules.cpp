#include "install_state/version_rules.hpp"

#include <algorithm>

#include "support/codepage.hpp"

std::string TrimSpaces(const std::string& text) {
  const std::size_t b = text.find_first_not_of(' ');
  if (b == std::string::npos) return "";
  const std::size_t e = text.find_last_not_of(' ');
  return text.substr(b, e - b + 1);
}

std::string GetValidVersion(const std::string& value) {
  const std::string t = TrimSpaces(value);
  if (t.empty() || t == std::string(1, '\0')) return "0";
  const std::u32string cps = Utf8ToCodePoints(t);
  const std::size_t n = cps.size();
  // Positions n-4 and n-7, counted from 1, must hold the two points.
  if (n < 8 || cps[n - 4 - 1] != U'.' || cps[n - 7 - 1] != U'.') return "0";
  std::u32string digits;
  std::copy_if(cps.begin(), cps.end(), std::back_inserter(digits), [](char32_t c) { return c != U'.'; });
  const bool numeric =
      !digits.empty() && std::all_of(digits.begin(), digits.end(), [](char32_t c) { return c >= U'0' && c <= U'9'; });
  return numeric ? t : "0";
}

std::string GetValidVersion(const RegValue& value) {
  if (const auto* s = std::get_if<std::string>(&value)) return GetValidVersion(*s);
  if (const auto* n = std::get_if<std::int32_t>(&value)) return GetValidVersion(std::to_string(*n));
  return "0";  // an array of bytes is no version
}
