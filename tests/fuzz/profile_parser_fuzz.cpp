// Any bytes given as the downloaded update-information file: the catalog
// reading never crashes, ends in one of the four results, reads only the
// seven catalog sections and lists at most their six components.
#include <algorithm>
#include <cstdlib>

#include "catalog/catalog_reading.hpp"
#include "catalog/catalog_rules.hpp"
#include "catalog/profile_parser.hpp"
#include "support/codepage.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string installed[] = {"", "3.02.0012", "0", "1.00.0001", "0", "0", "0"};
  const ProfileDocument doc = ProfileDocument::Parse(std::string_view(reinterpret_cast<const char*>(data), size));
  bool ok = true;
  const CatalogReading r = EvaluateCatalog(
      [&](const std::string& section, const std::string& key) {
        ok = ok && std::find(ComponentKeys.begin(), ComponentKeys.end(), section) != ComponentKeys.end();
        return AnsiToUtf8(doc.Value(section, key).value_or("").substr(0, 254));
      },
      static_cast<std::int64_t>(size),
      [&](int row, std::string& version) {
        ok = ok && row >= 1 && row <= 6;
        return ok && IsNewerVersion(installed[row], version);
      });
  std::string url = r.setupUrl, crc = r.setupCrc;
  const bool listed = r.result == crUpdatesAvailable || r.result == crUpToDate;
  if (!ok || r.result < crError || r.result > crNotAvailable || r.components.size() > ComponentKeys.size() - 1 ||
      (r.result == crUpdatesAvailable) == r.components.empty() ||
      (listed && !(CheckUrl(url) && url == r.setupUrl && CheckCrcText(crc) && crc == r.setupCrc)))
    std::abort();
  return 0;
}
