#include "backends/win32/window_messages.hpp"

#include "backends/win32/prelude.hpp"
#include "backends/win32/wide_text.hpp"

std::uint32_t Win32WindowMessages::RegisterWindowMessage(const std::string& name) {
  return ::RegisterWindowMessageW(Widen(name).c_str());
}

bool Win32WindowMessages::BroadcastNotifyMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
  return SendNotifyMessageW(HWND_BROADCAST, msg, wParam, lParam) != 0;
}
