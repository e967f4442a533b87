#include "support/reg_value.hpp"

#include <charconv>
#include <cmath>
#include <cstdlib>

#include "support/runtime_error.hpp"

std::string ValueToText(const RegValue& v) {
  if (const auto* s = std::get_if<std::string>(&v)) return *s;
  if (const auto* n = std::get_if<std::int32_t>(&v)) return std::to_string(*n);
  RaiseError(ErrNo::TypeMismatch);
}

std::int32_t ValueToLong(const RegValue& v) {
  if (const auto* n = std::get_if<std::int32_t>(&v)) return *n;
  const auto* s = std::get_if<std::string>(&v);
  if (!s) RaiseError(ErrNo::TypeMismatch);
  std::size_t b = s->find_first_not_of(' ');
  std::size_t e = s->find_last_not_of(' ');
  if (b == std::string::npos) RaiseError(ErrNo::TypeMismatch);
  const std::string t = s->substr(b, e - b + 1);
  // Decimal numbers, with a fraction rounded half to even as the platform does.
  // Words such as "inf" or "nan" and hexadecimal forms are no numbers here,
  // although strtod would take them.
  if (t.find_first_not_of("0123456789+-.eE") != std::string::npos) RaiseError(ErrNo::TypeMismatch);
  char* end = nullptr;
  const double d = std::strtod(t.c_str(), &end);
  if (end != t.c_str() + t.size()) RaiseError(ErrNo::TypeMismatch);
  const double r = std::nearbyint(d);
  if (r < -2147483648.0 || r > 2147483647.0) RaiseError(ErrNo::Overflow);
  return static_cast<std::int32_t>(r);
}
