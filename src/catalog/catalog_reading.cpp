#include "catalog/catalog_reading.hpp"

#include <array>

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
