#pragma once
#include <cstdint>
#include <string>

#include "platform/window_messages.hpp"

// Registered messages: a stable identifier per name, and a broadcast as a
// signal on the session bus that the product's programs listen for:
// path /org/larkspire/AutoUpdate, interface org.larkspire.AutoUpdate,
// member MsgGeneral, arguments (uint32 message, uint64 wParam, int64 lParam).
class QtWindowMessages : public IWindowMessages {
 public:
  std::uint32_t RegisterWindowMessage(const std::string& name) override;
  bool BroadcastNotifyMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override;
};

inline constexpr const char* kBroadcastPath = "/org/larkspire/AutoUpdate";
inline constexpr const char* kBroadcastInterface = "org.larkspire.AutoUpdate";
inline constexpr const char* kBroadcastMember = "MsgGeneral";
