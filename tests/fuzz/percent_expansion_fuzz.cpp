// Any text through the %NAME% expansion: with no variable known, or with
// each name standing for its own reference, the text comes back unchanged;
// with every name known, each reference (at least "%X%") adds no more than
// the value, and the result is copied out only into a buffer it fits.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "backends/common/percent_expansion.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view src(reinterpret_cast<const char*>(data), size);
  const std::string value = "C:\\Users\\Somebody";
  const auto none = [](const std::string&) { return std::optional<std::string>(); };
  const auto itself = [](const std::string& n) { return std::optional<std::string>("%" + n + "%"); };
  const auto every = [&](const std::string&) { return std::optional<std::string>(value); };
  const std::string expanded = ExpandPercentReferences(src, every);
  const std::size_t refs = static_cast<std::size_t>(std::count(src.begin(), src.end(), '%')) / 2;
  if (ExpandPercentReferences(src, none) != src || ExpandPercentReferences(src, itself) != src ||
      expanded.size() > size + refs * value.size())
    std::abort();
  char buffer[64];
  std::memset(buffer, 0x5A, sizeof buffer);
  const std::uint32_t room = size ? data[0] % sizeof buffer : 0;
  const std::uint32_t needed = CopyExpandedResult(expanded, buffer, room);
  const bool copied = needed <= room;
  if (needed != expanded.size() + 1 || (copied && std::memcmp(buffer, expanded.c_str(), needed) != 0) ||
      std::any_of(buffer + (copied ? needed : 0), buffer + sizeof buffer, [](char c) { return c != 0x5A; }))
    std::abort();
  return 0;
}
