#include "backends/win32/environment.hpp"

#include "backends/win32/prelude.hpp"

std::uint32_t Win32Environment::ExpandEnvironmentStrings(const char* src, char* dst, std::uint32_t size) {
  return ::ExpandEnvironmentStringsA(src, dst, size);
}
