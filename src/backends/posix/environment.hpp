#pragma once
#include "platform/environment.hpp"

// Texts in UTF-8, the code page of the registry file whose expandable
// values it serves.
class PosixEnvironment : public IEnvironment {
 public:
  std::uint32_t ExpandEnvironmentStrings(const char* src, char* dst, std::uint32_t size) override;
};
