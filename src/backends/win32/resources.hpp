#pragma once
// The Windows program's artwork, from its own resource script: the icon
// (an icon group), the header picture (a resource of type CUSTOM) and the
// error bitmap (a bitmap resource).
#include "platform/resources.hpp"

class Win32Resources : public IResources {
 public:
  // The bytes of the program's resource of that name and type, as a file of
  // its kind would hold them: a bitmap comes with its file header again.
  // Nothing when the program has no such resource. Never raises.
  std::optional<std::vector<std::uint8_t>> LoadResource(const std::string& name, const std::string& type) override;
};
