#pragma once
// The desktop shell and the installer service, and the Internet connection
// flags (InternetGetConnectedStateExA).
#include <cstdint>
#include <string>

class IShell {
 public:
  virtual ~IShell() = default;
  // Whether the installer service can be created (the installer automation
  // object); the object itself is not used.
  virtual bool InstallerPresent() = 0;
  // Opens file with the verb operation (ShellExecuteA); returns a value
  // above 32 on success. Never waits for the opened program.
  virtual std::intptr_t ShellExecute(const std::string& operation, const std::string& file,
                                     const std::string& parameters, const std::string& directory, int showCommand) = 0;
};

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
  // Fills the connection flags and the connection's name (NUL-ended, at
  // most nameLength bytes); returns false when the state is unknown.
  virtual bool InternetGetConnectedStateEx(std::uint32_t* flags, char* name, std::uint32_t nameLength,
                                           std::uint32_t reserved) = 0;
};
