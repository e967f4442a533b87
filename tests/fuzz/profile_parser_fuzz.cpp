// Any bytes given as the downloaded update-information file: the catalog
// reading never crashes, ends in one of the four results, reads only the
// seven catalog sections and lists at most their six components.
#include <algorithm>
#include <cstdlib>

#include "catalog/catalog_reading.hpp"
#include "catalog/catalog_rules.hpp"
#include "catalog/profile_parser.hpp"
#include "support/codepage.hpp"

static void Check(bool ok) {
  if (!ok) std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string installed[] = {"", "3.02.0012", "0", "1.00.0001", "0", "0", "0"};
  const ProfileDocument doc = ProfileDocument::Parse(std::string_view(reinterpret_cast<const char*>(data), size));
  const CatalogReading reading = EvaluateCatalog(
      [&](const std::string& section, const std::string& key) {
        Check(std::find(ComponentKeys.begin(), ComponentKeys.end(), section) != ComponentKeys.end());
        return AnsiToUtf8(doc.Value(section, key).value_or("").substr(0, 254));
      },
      static_cast<std::int64_t>(size),
      [&](int row, std::string& version) {
        Check(row >= 1 && row <= 6);
        return IsNewerVersion(installed[row], version);
      });
  Check(reading.result >= crError && reading.result <= crNotAvailable);
  Check(reading.components.size() <= ComponentKeys.size() - 1);
  Check((reading.result == crUpdatesAvailable) == !reading.components.empty());
  std::string url = reading.setupUrl, crc = reading.setupCrc;
  if (reading.result == crUpdatesAvailable || reading.result == crUpToDate)
    Check(CheckUrl(url) && url == reading.setupUrl && CheckCrcText(crc) && crc == reading.setupCrc);
  return 0;
}
