#include "backends/win32/connection_state.hpp"

#include <cstring>

#include "backends/win32/prelude.hpp"
#include "backends/win32/wide_text.hpp"

bool Win32ConnectionService::InternetGetConnectedStateEx(std::uint32_t* flags, char* name, std::uint32_t nameLength,
                                                         std::uint32_t reserved) {
  DWORD f = 0;
  wchar_t wide[256] = {};
  const BOOL ok = ::InternetGetConnectedStateExW(&f, wide, 256, reserved);
  if (flags) *flags = f;
  // The connection's name as UTF-8, cut at a whole character.
  if (name && nameLength > 0) {
    std::string text = Narrow(wide);
    while (text.size() >= nameLength) {
      text.pop_back();
      while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80) text.pop_back();
      if (!text.empty() && (static_cast<unsigned char>(text.back()) & 0x80)) text.pop_back();
    }
    std::memcpy(name, text.c_str(), text.size() + 1);
  }
  return ok != FALSE;
}
