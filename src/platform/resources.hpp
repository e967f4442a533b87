#pragma once
// The program's own resources (icon, header picture, error bitmap).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class IResources {
 public:
  virtual ~IResources() = default;
  // The bytes of the resource of that name and type (names match without
  // regard to case), or nothing.
  virtual std::optional<std::vector<std::uint8_t>> LoadResource(const std::string& name, const std::string& type) = 0;
};
