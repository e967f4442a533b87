#pragma once
#include <cstdint>
#include <string>

#include "platform/environment.hpp"

// kernel32's ExpandEnvironmentStringsA.
class Win32Environment : public IEnvironment {
 public:
  std::uint32_t ExpandEnvironmentStrings(const char* src, char* dst, std::uint32_t size) override;
};
