#include "transfer/connection_state.hpp"

#include <cstring>

std::string DescribeConnectionFlags(std::uint32_t flags, bool* configured) {
  bool result = true;
  std::string info = "Connection Configured: ";
  if (flags & NetFlags::Configured) {
    info += "Yes";
  } else {
    info += "No";
    result = false;
  }
  info += "\r\nConnection Type: ";
  if (flags & NetFlags::Lan)
    info += result ? "LAN" : "(not connected)";
  else if (flags & NetFlags::Modem)
    info += "Modem";
  else
    info += "(not detected)";
  info += std::string("\r\nProxy: ") + ((flags & NetFlags::Proxy) ? "Yes" : "No");
  info += std::string("\r\nRAS Installed: ") + ((flags & NetFlags::RasInstalled) ? "Yes" : "No");
  info += std::string("\r\nOffline Mode: ") + ((flags & NetFlags::Offline) ? "Offline" : "Online");
  if (configured) *configured = result;
  return info;
}

bool ReadConnectionState(IConnectionService& service, std::string* info, std::string* name) {
  if (info) info->clear();
  if (name) name->clear();
  char buffer[512] = {};
  std::uint32_t flags = 0;
  bool answered = false;
  try {
    answered = service.InternetGetConnectedStateEx(&flags, buffer, sizeof buffer, 0);
  } catch (...) {
    answered = false;
  }
  if (!answered) return false;
  if (name) *name = std::string(buffer, strnlen(buffer, sizeof buffer));
  bool configured = false;
  const std::string description = DescribeConnectionFlags(flags, &configured);
  if (info) *info = description;
  return configured;
}
