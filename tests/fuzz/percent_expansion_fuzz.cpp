// Any text through the %NAME% expansion: with no variable known, or with
// each name standing for its own reference, the text comes back unchanged;
// with every name known, each reference (at least "%X%") adds no more than
// the value, and the result is copied out only into a buffer it fits.
#include "fuzz_input.hpp"

void Fuzz(const std::uint8_t* data, std::size_t size, std::string_view src) {
  const std::string value = "C:\\Users\\Somebody";
  const std::string expanded = ExpandPercentReferences(src, [&](auto&) { return std::optional(value); });
  Check(ExpandPercentReferences(src, [](auto&) { return std::optional<std::string>(); }) == src &&
        ExpandPercentReferences(src, [](auto& n) { return std::optional("%" + n + "%"); }) == src &&
        expanded.size() <= size + std::count(src.begin(), src.end(), '%') / 2 * value.size());
  // The buffer keeps its 'Z's but where the result and its NUL are copied.
  std::string buffer(64, 'Z'), expected = buffer;
  const std::uint32_t room = size ? data[0] % buffer.size() : 0;
  const std::uint32_t needed = CopyExpandedResult(expanded, buffer.data(), room);
  if (needed <= room) expected.replace(0, expanded.size() + 1, expanded + '\0');
  Check(needed == expanded.size() + 1 && buffer == expected);
}
