#include "backends/win32/environment.hpp"

#include <cstring>

#include "backends/win32/prelude.hpp"
#include "backends/win32/wide_text.hpp"

std::uint32_t Win32Environment::ExpandEnvironmentStrings(const char* src, char* dst, std::uint32_t size) {
  // Expanded in UTF-16, so variables whose values are in any script (a
  // user folder) come back whole; the caller's sizes are UTF-8 bytes.
  const std::wstring from = Widen(src);
  const DWORD needed = ::ExpandEnvironmentStringsW(from.c_str(), nullptr, 0);
  if (needed == 0) return 0;
  std::wstring wide(needed, L'\0');
  if (::ExpandEnvironmentStringsW(from.c_str(), wide.data(), needed) != needed) return 0;
  wide.resize(needed - 1);
  const std::string text = Narrow(wide);
  const auto total = static_cast<std::uint32_t>(text.size() + 1);
  if (dst && size >= total) std::memcpy(dst, text.c_str(), total);
  return total;
}
