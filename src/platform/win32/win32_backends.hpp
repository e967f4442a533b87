#pragma once
// The Windows backends: each platform service calls the Win32 function the
// program was designed around.
#include <string>

#include "platform/async_read.hpp"
#include "platform/environment.hpp"
#include "platform/file_system.hpp"
#include "platform/profile_reader.hpp"
#include "platform/registry_api.hpp"
#include "platform/shell.hpp"
#include "platform/system_services.hpp"

// advapi32's registry.
class Win32RegistryApi : public IRegistryApi {
 public:
  long CreateKeyEx(RegHandle root, const std::string& subKey, std::uint32_t access, RegHandle* result,
                   std::uint32_t* disposition) override;
  long OpenKeyEx(RegHandle root, const std::string& subKey, std::uint32_t access, RegHandle* result) override;
  long QueryValueEx(RegHandle key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* size) override;
  long SetValueEx(RegHandle key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                  std::uint32_t size) override;
  long EnumKeyEx(RegHandle key, std::uint32_t index, char* name, std::uint32_t* nameLen) override;
  long EnumValue(RegHandle key, std::uint32_t index, char* name, std::uint32_t* nameLen, std::uint32_t* type,
                 std::uint8_t* data, std::uint32_t* dataLen) override;
  long DeleteKey(RegHandle key, const std::string& subKey) override;
  long CloseKey(RegHandle key) override;
};

// kernel32's ExpandEnvironmentStringsA.
class Win32Environment : public IEnvironment {
 public:
  std::uint32_t ExpandEnvironmentStrings(const char* src, char* dst, std::uint32_t size) override;
};

// kernel32's GetPrivateProfileStringA.
class Win32ProfileReader : public IProfileReader {
 public:
  std::uint32_t GetPrivateProfileString(const std::string& section, const std::string& key, const std::string& def,
                                        char* buffer, std::uint32_t size, const std::string& fileName) override;
};

// Files through kernel32 (GetTempPathA, GetTempFileNameA, attributes, copy).
// Paths are ANSI on the way to the system.
class Win32FileSystem : public IFileSystem {
 public:
  std::string GetTempPath() override;
  std::string GetTempFileName(const std::string& dir, const std::string& prefix) override;
  std::unique_ptr<IFileReader> OpenRead(const std::string& path) override;
  void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) override;
  std::int32_t GetAttr(const std::string& path) override;
  void SetAttr(const std::string& path, std::int32_t attributes) override;
  void Kill(const std::string& path) override;
  void FileCopy(const std::string& source, const std::string& destination) override;
  std::string CurDir() override;
  std::string NativePath(const std::string& path) override { return path; }
};

// OLE32's CoCreateGuid.
class Win32GuidSource : public IGuidSource {
 public:
  bool CreateGuid(Guid* guid) override;
};

// user32's RegisterWindowMessageA and SendNotifyMessageA to all top-level windows.
class Win32WindowMessages : public IWindowMessages {
 public:
  std::uint32_t RegisterWindowMessage(const std::string& name) override;
  bool BroadcastNotifyMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override;
};

// The "WindowsInstaller.Installer" object and shell32's ShellExecuteA.
class Win32Shell : public IShell {
 public:
  bool InstallerPresent() override;
  std::intptr_t ShellExecute(const std::string& operation, const std::string& file, const std::string& parameters,
                             const std::string& directory, int showCommand) override;
};

// wininet's InternetGetConnectedStateExA.
class Win32ConnectionService : public IConnectionService {
 public:
  bool InternetGetConnectedStateEx(std::uint32_t* flags, char* name, std::uint32_t nameLength,
                                   std::uint32_t reserved) override;
};

// The system's ANSI code page, through MultiByteToWideChar and back.
std::string SystemAnsiToUtf8(const std::string& ansi);
std::string Utf8ToSystemAnsi(const std::string& utf8);
