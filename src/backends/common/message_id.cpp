#include "backends/common/message_id.hpp"

#include "backends/common/registry_tree.hpp"

std::uint32_t StableMessageId(const std::string& name) {
  // Registered messages live in 0xC000..0xFFFF; names match without case.
  std::uint32_t h = 2166136261u;
  for (char c : FoldName(name)) {
    h ^= static_cast<unsigned char>(c);
    h *= 16777619u;
  }
  return 0xC000u + (h % 0x4000u);
}
