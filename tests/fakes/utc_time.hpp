#pragma once
// A time that many seconds from now, in UTC, as a catalog writes it: by
// default a serial (YYYYMMDDhhmmss); given the form, an expiry time.
#include <cstdint>
#include <ctime>
#include <string>

inline std::string SerialAt(std::int64_t fromNow, const char* form = "%Y%m%d%H%M%S") {
  const std::time_t at = std::time(nullptr) + static_cast<std::time_t>(fromNow);
  std::tm tm{};
  gmtime_r(&at, &tm);
  char text[32];
  std::strftime(text, sizeof text, form, &tm);
  return text;
}
