#pragma once
// Environment services, shaped like kernel32's ExpandEnvironmentStringsA.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

class IEnvironment {
 public:
  virtual ~IEnvironment() = default;
  // Copies src to dst with every %NAME% replaced by that variable's value
  // (references to unknown variables stay as written). Returns the size the
  // result needs including its terminating NUL, and writes it to dst only
  // when size is at least that; 0 on failure.
  virtual std::uint32_t ExpandEnvironmentStrings(const char* src, char* dst, std::uint32_t size) = 0;
};

// The expansion rule itself, over any lookup of variables by name.
std::string ExpandPercentReferences(std::string_view src,
                                    const std::function<std::optional<std::string>(const std::string&)>& lookup);

// Win32-style buffer handling around an already expanded text.
std::uint32_t CopyExpandedResult(const std::string& expanded, char* dst, std::uint32_t size);
