#pragma once
// The resources embedded into the program at build time.
#include <cstddef>

#include "platform/resources.hpp"

struct EmbeddedResource {
  const char* name;
  const char* type;
  const unsigned char* data;
  std::size_t size;
};

extern const EmbeddedResource kEmbeddedResources[];
extern const std::size_t kEmbeddedResourceCount;

// The program's own resources, looked up without regard to case.
class EmbeddedResources : public IResources {
 public:
  std::optional<std::vector<std::uint8_t>> LoadResource(const std::string& name, const std::string& type) override;
};
