#include "catalog/catalog_reading.hpp"

#include <array>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <string_view>

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
// "YYYY-MM-DDThh:mm:ssZ" as seconds since 1970, or nothing.
std::optional<std::int64_t> UtcTime(const std::string& text) {
  // Digits where the form has them (sscanf alone would take signs and blanks).
  constexpr std::string_view form = "0000-00-00T00:00:00Z";
  if (text.size() != form.size()) return std::nullopt;
  for (std::size_t i = 0; i < form.size(); ++i)
    if (form[i] == '0' ? !std::isdigit(static_cast<unsigned char>(text[i])) : text[i] != form[i]) return std::nullopt;
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2dZ", &y, &mo, &d, &h, &mi, &s) != 6) return std::nullopt;
  using namespace std::chrono;
  const year_month_day day{year(y), month(static_cast<unsigned>(mo)), std::chrono::day(static_cast<unsigned>(d))};
  if (!day.ok() || h > 23 || mi > 59 || s > 59) return std::nullopt;
  return sys_days(day).time_since_epoch().count() * 86400LL + h * 3600 + mi * 60 + s;
}
}  // namespace

std::optional<std::int64_t> SerialTime(const std::string& serial) {
  if (serial.size() != 14 || serial.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  return UtcTime(serial.substr(0, 4) + "-" + serial.substr(4, 2) + "-" + serial.substr(6, 2) + "T" +
                 serial.substr(8, 2) + ":" + serial.substr(10, 2) + ":" + serial.substr(12, 2) + "Z");
}

std::string CheckSignedFields(const CatalogValueFn& value, const std::string& storedSerial,
                              const std::string& floorSerial, std::int64_t now) {
  const std::string setup = ComponentKeys[kSetupRow];
  for (const char* key : {"sha256", "pkgsize", "serial", "expires"})
    if (value(setup, key).empty()) return "it is signed but its [setup] has no \"" + std::string(key) + "\"";
  const std::string serial = value(setup, "serial");
  const auto published = SerialTime(serial);
  if (!published) return "[setup] serial \"" + serial + "\" is not a UTC publish time as YYYYMMDDhhmmss";
  if (*published > now + kSerialLeadSeconds)
    return "its serial " + serial +
           " is a time more than a day ahead of this computer's clock, so it is neither accepted nor kept "
           "(if the clock is wrong, set it right)";
  // Serials of one width compare as times; a stored one from the future
  // (or of another form) would refuse every later catalog, and is passed over.
  const auto stored = SerialTime(storedSerial);
  const bool storedCounts = stored && *stored <= now + kSerialLeadSeconds && storedSerial > floorSerial;
  if (storedCounts && serial < storedSerial)
    return "its serial " + serial + " is lower than " + storedSerial +
           ", the highest already accepted: an older catalog is being replayed";
  if (serial < floorSerial)
    return "its serial " + serial + " is older than this program, which takes serials from " + floorSerial +
           " on: an older catalog is being replayed";
  const std::string expires = value(setup, "expires");
  const auto until = UtcTime(expires);
  if (!until) return "[setup] expires \"" + expires + "\" is not a UTC time as YYYY-MM-DDThh:mm:ssZ";
  if (*until < now) return "it expired at " + expires;
  if (*until - *published > kMaxCatalogLifetimeDays * 86400LL)
    return "it expires at " + expires + ", more than " + std::to_string(kMaxCatalogLifetimeDays) +
           " days after its serial " + serial + ": a replayed copy could hold back newer catalogs that long";
  return "";
}
