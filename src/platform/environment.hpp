#pragma once
// Environment services, shaped like kernel32's ExpandEnvironmentStrings,
// in UTF-8.
#include <cstdint>

class IEnvironment {
 public:
  virtual ~IEnvironment() = default;
  // Copies src to dst with every %NAME% replaced by that variable's value
  // (references to unknown variables stay as written). Returns the size the
  // result needs including its terminating NUL, and writes it to dst only
  // when size is at least that; 0 on failure.
  virtual std::uint32_t ExpandEnvironmentStrings(const char* src, char* dst, std::uint32_t size) = 0;
};
