#pragma once
#include <cstdint>
#include <string>

#include "platform/window_messages.hpp"

// user32's RegisterWindowMessageA and SendNotifyMessageA to all top-level windows.
class Win32WindowMessages : public IWindowMessages {
 public:
  std::uint32_t RegisterWindowMessage(const std::string& name) override;
  bool BroadcastNotifyMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override;
};
