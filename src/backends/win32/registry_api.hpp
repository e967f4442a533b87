#pragma once
#include <cstdint>
#include <string>

#include "platform/registry_api.hpp"

// advapi32's registry through its wide calls. Names and string data
// (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) cross these calls as UTF-8 and reach
// the system as UTF-16, so a folder or a value in any script is read and
// written as it is, whatever the system's ANSI code page. The sizes the
// caller gives and gets are those of the UTF-8 bytes. Other data (binary,
// numbers) passes through unchanged.
class Win32RegistryApi : public IRegistryApi {
 public:
  TextCodePage CodePage() const override { return TextCodePage::Utf8; }
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
