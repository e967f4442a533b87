#pragma once
// The Internet connection flags (InternetGetConnectedStateExA).
#include <cstdint>

namespace NetFlags {
constexpr std::uint32_t Modem = 0x01;
constexpr std::uint32_t Lan = 0x02;
constexpr std::uint32_t Proxy = 0x04;
constexpr std::uint32_t RasInstalled = 0x10;
constexpr std::uint32_t Offline = 0x20;
constexpr std::uint32_t Configured = 0x40;
}  // namespace NetFlags

class IConnectionService {
 public:
  virtual ~IConnectionService() = default;
  // Fills the connection flags and the connection's name (UTF-8, NUL-ended,
  // at most nameLength bytes); returns false when the state is unknown.
  virtual bool InternetGetConnectedStateEx(std::uint32_t* flags, char* name, std::uint32_t nameLength,
                                           std::uint32_t reserved) = 0;
};
