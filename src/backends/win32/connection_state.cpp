#include "backends/win32/connection_state.hpp"

#include "backends/win32/prelude.hpp"

bool Win32ConnectionService::InternetGetConnectedStateEx(std::uint32_t* flags, char* name, std::uint32_t nameLength,
                                                         std::uint32_t reserved) {
  DWORD f = 0;
  const BOOL ok = ::InternetGetConnectedStateExA(&f, name, nameLength, reserved);
  if (flags) *flags = f;
  return ok != FALSE;
}
