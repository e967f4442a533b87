// Any two texts (split at the first newline) as versions, paths and
// addresses: a checked version is "0" or the trimmed text that checks
// again unchanged, no version is newer than itself and of two the newer
// is not also the older; a path normalized with its final "\" is the one
// normalized without it and a "\" (empty only when the path is), and
// normalizes again unchanged; a file name has no separator but its last.
#include "fuzz_input.hpp"
#include "install_state/path_helpers.hpp"

void Fuzz(const std::uint8_t*, std::size_t, std::string_view text) {
  const auto [a, b] = Split(text);
  const std::string va = GetValidVersion(a), vb = GetValidVersion(b);
  std::string checkedA = a, checkedB = b, same = va;  // IsNewerVersion checks its second version in place
  const bool newer = IsNewerVersion(vb, checkedA), older = IsNewerVersion(va, checkedB);
  const std::string folder = NormalizePath(a, true), path = NormalizePath(a, false), name = FileNameFromUrl(a);
  Check((va == "0" || va == TrimSpaces(a)) && GetValidVersion(va) == va && checkedA == va && checkedB == vb &&
        !(newer && older) && !IsNewerVersion(va, same) && folder.find('/') == folder.npos &&
        NormalizePath(folder, true) == folder && (folder.empty() ? path.empty() : folder == path + "\\") &&
        (name.size() <= 1 || name.find_first_of("/\\") >= name.size() - 1));
}
