#include "catalog/number_text.hpp"

namespace {
std::string_view StripSpaces(std::string_view t) {
  while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
  while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
  return t;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

bool IsWholeNumber(std::string_view text) {
  std::string_view t = StripSpaces(text);
  if (!t.empty() && (t.front() == '+' || t.front() == '-')) t.remove_prefix(1);
  if (t.empty()) return false;
  for (char c : t)
    if (!IsDigit(c)) return false;
  return true;
}

bool IsDecimalNumber(std::string_view text) {
  std::string_view t = StripSpaces(text);
  std::size_t i = 0;
  const auto digits = [&] {
    const std::size_t from = i;
    while (i < t.size() && IsDigit(t[i])) ++i;
    return i - from;
  };
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  std::size_t mantissa = digits();
  if (i < t.size() && t[i] == '.') {
    ++i;
    mantissa += digits();
  }
  if (mantissa == 0) return false;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    if (digits() == 0) return false;
  }
  return i == t.size();
}

std::optional<std::int32_t> ParseInt32(std::string_view text) {
  if (!IsWholeNumber(text)) return std::nullopt;
  std::string_view t = StripSpaces(text);
  const bool negative = t.front() == '-';
  if (t.front() == '+' || t.front() == '-') t.remove_prefix(1);
  // Accumulate in 64 bits and stop as soon as the value leaves the range, so
  // that any number of digits is safe.
  std::int64_t value = 0;
  const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
  for (char c : t) {
    value = value * 10 + (c - '0');
    if (value > limit) return std::nullopt;
  }
  return static_cast<std::int32_t>(negative ? -value : value);
}
