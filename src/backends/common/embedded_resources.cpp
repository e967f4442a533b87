#include "backends/common/embedded_resources.hpp"

#include "backends/common/registry_tree.hpp"

std::optional<std::vector<std::uint8_t>> EmbeddedResources::LoadResource(const std::string& name,
                                                                         const std::string& type) {
  for (std::size_t i = 0; i < kEmbeddedResourceCount; ++i) {
    const EmbeddedResource& r = kEmbeddedResources[i];
    if (NamesEqual(r.name, name) && NamesEqual(r.type, type)) return std::vector<std::uint8_t>(r.data, r.data + r.size);
  }
  return std::nullopt;
}
