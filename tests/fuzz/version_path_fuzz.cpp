// Any two texts (split at the first newline) as versions, paths and
// addresses: a checked version is "0" or the trimmed text that checks
// again unchanged, no version is newer than itself and of two the newer
// is not also the older; a path normalized with its final "\" is the one
// normalized without it and a "\" (empty only when the path is), and
// normalizes again unchanged; a file name has no separator but its last.
#include <cstdlib>

#include "catalog/catalog_rules.hpp"
#include "install_state/path_helpers.hpp"
#include "install_state/version_rules.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t cut = input.find('\n');
  const std::string a = input.substr(0, cut), b = cut == std::string::npos ? "" : input.substr(cut + 1);
  const std::string va = GetValidVersion(a), vb = GetValidVersion(b);
  if ((va != "0" && va != TrimSpaces(a)) || GetValidVersion(va) != va) std::abort();
  std::string checkedA = a, checkedB = b, same = va;
  const bool newer = IsNewerVersion(vb, checkedA), older = IsNewerVersion(va, checkedB);
  if (checkedA != va || checkedB != vb || (newer && older) || IsNewerVersion(va, same)) std::abort();
  const std::string folder = NormalizePath(a, true), path = NormalizePath(a, false);
  if (folder.find('/') != std::string::npos || NormalizePath(folder, true) != folder ||
      (folder.empty() ? !path.empty() : folder != path + "\\"))
    std::abort();
  const std::string name = FileNameFromUrl(a);
  if (name.size() > 1 && name.find_first_of("/\\") < name.size() - 1) std::abort();
  return 0;
}
