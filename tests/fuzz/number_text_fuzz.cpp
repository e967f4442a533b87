// Any text as a whole or decimal number: ParseInt32 agrees with the
// standard library's reading of the same digits, a whole number is also a
// decimal one, what parses prints back to a text that parses the same, and
// a package size is a whole number above 0.
#include <charconv>

#include "fuzz_input.hpp"

void Fuzz(const std::uint8_t*, std::size_t, std::string_view text) {
  // The digits as from_chars reads them: no spaces around, no '+' before.
  std::string_view t = text.substr(std::min(text.find_first_not_of(' '), text.size()));
  t = t.substr(0, t.find_last_not_of(' ') + 1);
  if (t.starts_with('+') && !t.starts_with("+-")) t.remove_prefix(1);
  std::int32_t expected = 0;
  const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), expected);
  const auto parsed = ParseInt32(text);
  const auto packageSize = ParsePackageSize(std::string(text));
  Check(parsed.has_value() == (ec == std::errc() && end == t.data() + t.size()) &&
        (!parsed || (*parsed == expected && IsWholeNumber(text) && ParseInt32(std::to_string(*parsed)) == parsed)) &&
        (!IsWholeNumber(text) || IsDecimalNumber(text)) && (!packageSize || (*packageSize > 0 && IsWholeNumber(text))));
}
