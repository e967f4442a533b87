// Any bytes given as the downloaded update-information file: the catalog
// reading never crashes, ends in one of the four results, reads only the
// seven catalog sections and lists at most their six components.
#include "catalog/catalog_reading.hpp"
#include "catalog/profile_parser.hpp"
#include "fuzz_input.hpp"

void Fuzz(const std::uint8_t*, std::size_t size, std::string_view text) {
  const std::string installed[] = {"", "3.02.0012", "0", "1.00.0001", "0", "0", "0"};
  const ProfileDocument doc = ProfileDocument::Parse(text);
  bool ok = true;  // only catalog sections read, only rows 1 to 6 asked for
  const CatalogReading r = EvaluateCatalog(
      [&](const std::string& section, const std::string& key) {
        ok = ok && std::count(ComponentKeys.begin(), ComponentKeys.end(), section);
        return AnsiToUtf8(doc.Value(section, key).value_or("").substr(0, 254));
      },
      static_cast<std::int64_t>(size),
      [&](int row, std::string& version) {
        return (ok = ok && row >= 1 && row <= 6) && IsNewerVersion(installed[row], version);
      });
  std::string url = r.setupUrl, crc = r.setupCrc;
  Check(ok && r.result >= crError && r.result <= crNotAvailable && r.components.size() < ComponentKeys.size() &&
        (r.result == crUpdatesAvailable) != r.components.empty() &&
        ((r.result != crUpdatesAvailable && r.result != crUpToDate) ||
         (CheckUrl(url) && url == r.setupUrl && CheckCrcText(crc) && crc == r.setupCrc)));
}
