// Any text as a whole or decimal number: ParseInt32 agrees with the
// standard library's reading of the same digits, a whole number is also a
// decimal one, what parses prints back to a text that parses the same, and
// a package size is a whole number above 0.
#include <charconv>
#include <cstdlib>

#include "catalog/catalog_rules.hpp"
#include "catalog/number_text.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string_view t = text;
  while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
  while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
  if (t.starts_with('+') && !t.starts_with("+-")) t.remove_prefix(1);
  std::int32_t expected = 0;
  const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), expected);
  const bool fits = ec == std::errc() && end == t.data() + t.size();
  const auto parsed = ParseInt32(text);
  if (parsed.has_value() != fits || (fits && *parsed != expected) || (parsed && !IsWholeNumber(text)) ||
      (IsWholeNumber(text) && !IsDecimalNumber(text)) || (parsed && ParseInt32(std::to_string(*parsed)) != parsed))
    std::abort();
  const auto packageSize = ParsePackageSize(std::string(text));
  if (packageSize && (*packageSize <= 0 || !IsWholeNumber(text))) std::abort();
  return 0;
}
