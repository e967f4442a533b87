#include "catalog/catalog_reading.hpp"

#include <array>
#include <chrono>
#include <cstdio>

#include "catalog/catalog_rules.hpp"
#include "catalog/number_text.hpp"
#include "support/text_case.hpp"

namespace {
constexpr int kSetupRow = 0;

// "size" names the file's own length: a truncated or padded file fails.
bool SizeMatches(const CatalogValueFn& value, std::int64_t fileLength) {
  const auto size = ParseInt32(value(ComponentKeys[kSetupRow], "size"));
  return size && *size == fileLength;
}

void AppendOutdated(const CatalogValueFn& value, const NewerVersionFn& isNewer,
                    const std::array<std::string, ComponentKeys.size()>& enabled, CatalogReading& reading) {
  for (int row = 1; row < static_cast<int>(ComponentKeys.size()); ++row) {
    if (enabled[row] == "0") continue;
    const std::string section = ComponentKeys[row];
    std::string version = value(section, "version");
    if (!isNewer(row, version)) continue;
    std::string name = value(section, "exename");
    if (name.empty()) name = section;
    UpdateComponent entry;
    entry.sFileName = LCase(name);
    entry.sVersion = version;
    reading.components.push_back(std::move(entry));
  }
}
}  // namespace

CatalogReading EvaluateCatalog(const CatalogValueFn& value, std::int64_t fileLength, const NewerVersionFn& isNewer) {
  CatalogReading reading;
  const auto fail = [&reading](std::string why) {
    reading.why = std::move(why);
    return reading;
  };
  if (!SizeMatches(value, fileLength))
    return fail("its \"size\" is not its length of " + std::to_string(fileLength) + " bytes");

  // Every section must say whether it is on before anything else counts, so
  // a file that lacks a section is unusable even when the update is off.
  std::array<std::string, ComponentKeys.size()> enabled;
  for (std::size_t row = 0; row < ComponentKeys.size(); ++row) {
    enabled[row] = value(ComponentKeys[row], "enabled");
    if (!IsDecimalNumber(enabled[row]))
      return fail("[" + std::string(ComponentKeys[row]) + "] has no numeric \"enabled\"");
  }
  if (enabled[kSetupRow] == "0") {
    reading.result = crNotAvailable;
    return reading;
  }

  std::string url = value(ComponentKeys[kSetupRow], "url");
  const std::string givenUrl = url;
  if (!CheckUrl(url)) return fail("[setup] url \"" + givenUrl + "\" is not a usable address");
  std::string crc = value(ComponentKeys[kSetupRow], "crc");
  const std::string givenCrc = crc;
  if (!CheckCrcText(crc)) return fail("[setup] crc \"" + givenCrc + "\" is not eight hexadecimal digits");
  // The package is stored under its own name, so the address must end in a
  // name that is safe as a file name everywhere.
  const std::string name = url.back() == '/' || url.back() == '\\' ? "" : FileNameFromUrl(url);
  if (name.empty()) return fail("[setup] url \"" + givenUrl + "\" names no file");
  if (!IsSafePackageName(name))
    return fail("[setup] url \"" + givenUrl + "\" names \"" + name + "\", which is not a plain file name");
  // Optional: with it the download cannot grow past the package's length.
  if (const std::string size = value(ComponentKeys[kSetupRow], "pkgsize"); !size.empty()) {
    const auto length = ParsePackageSize(size);
    if (!length) return fail("[setup] pkgsize \"" + size + "\" is not a length in bytes");
    reading.setupSize = *length;
  }
  // Optional too, and checked whenever given: CRC-32 alone is easily matched.
  if (std::string sha = LCase(value(ComponentKeys[kSetupRow], "sha256")); !sha.empty()) {
    if (sha.size() != 64 || sha.find_first_not_of("0123456789abcdef") != std::string::npos)
      return fail("[setup] sha256 \"" + sha + "\" is not 64 hexadecimal digits");
    reading.setupSha256 = std::move(sha);
  }
  reading.setupFileName = name;
  reading.setupUrl = std::move(url);
  reading.setupCrc = std::move(crc);

  AppendOutdated(value, isNewer, enabled, reading);
  reading.result = reading.components.empty() ? crUpToDate : crUpdatesAvailable;
  return reading;
}

namespace {
// A decimal serial of up to 18 digits, or -1.
std::int64_t SerialNumber(const std::string& text) {
  if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos) return -1;
  return std::stoll(text);
}

// "YYYY-MM-DDThh:mm:ssZ" as seconds since 1970, or nothing.
std::optional<std::int64_t> UtcTime(const std::string& text) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, end = 0;
  if (text.size() != 20 ||
      std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2dZ%n", &y, &mo, &d, &h, &mi, &s, &end) != 6 || end != 20)
    return std::nullopt;
  using namespace std::chrono;
  const year_month_day day{year(y), month(static_cast<unsigned>(mo)), std::chrono::day(static_cast<unsigned>(d))};
  if (!day.ok() || h > 23 || mi > 59 || s > 59) return std::nullopt;
  return sys_days(day).time_since_epoch().count() * 86400LL + h * 3600 + mi * 60 + s;
}
}  // namespace

std::string CheckSignedFields(const CatalogValueFn& value, const std::string& storedSerial, std::int64_t now) {
  const std::string setup = ComponentKeys[kSetupRow];
  for (const char* key : {"sha256", "pkgsize", "serial"})
    if (value(setup, key).empty()) return "it is signed but its [setup] has no \"" + std::string(key) + "\"";
  const std::string serial = value(setup, "serial");
  const std::int64_t number = SerialNumber(serial);
  if (number < 0) return "[setup] serial \"" + serial + "\" is not a decimal number";
  if (const std::int64_t highest = SerialNumber(storedSerial); number < highest)
    return "its serial " + serial + " is lower than " + storedSerial +
           ", the highest already accepted: an older catalog is being replayed";
  if (const std::string expires = value(setup, "expires"); !expires.empty()) {
    const auto at = UtcTime(expires);
    if (!at) return "[setup] expires \"" + expires + "\" is not a UTC time as YYYY-MM-DDThh:mm:ssZ";
    if (*at < now) return "it expired at " + expires;
  }
  return "";
}
