#pragma once
// Registered window messages and their broadcast to all top-level windows
// (RegisterWindowMessageA, SendNotifyMessageA to HWND_BROADCAST).
#include <cstdint>
#include <string>

class IWindowMessages {
 public:
  virtual ~IWindowMessages() = default;
  // A message identifier for the name, the same in every process; 0 on failure.
  virtual std::uint32_t RegisterWindowMessage(const std::string& name) = 0;
  // Sends msg to all top-level windows without waiting; false when not sent.
  virtual bool BroadcastNotifyMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) = 0;
};
