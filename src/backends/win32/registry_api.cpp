#include "backends/win32/registry_api.hpp"

#include "backends/win32/prelude.hpp"

namespace {
HKEY H(RegHandle h) { return reinterpret_cast<HKEY>(h); }
}  // namespace

long Win32RegistryApi::CreateKeyEx(RegHandle root, const std::string& subKey, std::uint32_t access, RegHandle* result,
                                   std::uint32_t* disposition) {
  HKEY key = nullptr;
  DWORD disp = 0;
  const LONG rc =
      RegCreateKeyExA(H(root), subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key, &disp);
  if (rc == ERROR_SUCCESS) {
    *result = reinterpret_cast<RegHandle>(key);
    if (disposition) *disposition = disp;
  }
  return rc;
}

long Win32RegistryApi::OpenKeyEx(RegHandle root, const std::string& subKey, std::uint32_t access, RegHandle* result) {
  HKEY key = nullptr;
  const LONG rc = RegOpenKeyExA(H(root), subKey.c_str(), 0, access, &key);
  if (rc == ERROR_SUCCESS) *result = reinterpret_cast<RegHandle>(key);
  return rc;
}

long Win32RegistryApi::QueryValueEx(RegHandle key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                                    std::uint32_t* size) {
  DWORD t = 0;
  DWORD s = size ? *size : 0;
  const LONG rc = RegQueryValueExA(H(key), name.c_str(), nullptr, &t, data, size ? &s : nullptr);
  if (type) *type = t;
  if (size) *size = s;
  return rc;
}

long Win32RegistryApi::SetValueEx(RegHandle key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                                  std::uint32_t size) {
  return RegSetValueExA(H(key), name.c_str(), 0, type, data, size);
}

long Win32RegistryApi::EnumKeyEx(RegHandle key, std::uint32_t index, char* name, std::uint32_t* nameLen) {
  DWORD len = *nameLen;
  FILETIME lastWrite;
  const LONG rc = RegEnumKeyExA(H(key), index, name, &len, nullptr, nullptr, nullptr, &lastWrite);
  if (rc == ERROR_SUCCESS) *nameLen = len;
  return rc;
}

long Win32RegistryApi::EnumValue(RegHandle key, std::uint32_t index, char* name, std::uint32_t* nameLen,
                                 std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataLen) {
  DWORD len = *nameLen;
  DWORD t = 0;
  DWORD dlen = dataLen ? *dataLen : 0;
  const LONG rc = RegEnumValueA(H(key), index, name, &len, nullptr, &t, data, dataLen ? &dlen : nullptr);
  if (rc == ERROR_SUCCESS) {
    *nameLen = len;
    if (type) *type = t;
  }
  // A data buffer that is too small gets the size it needs.
  if (dataLen && (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA)) *dataLen = dlen;
  return rc;
}

long Win32RegistryApi::DeleteKey(RegHandle key, const std::string& subKey) {
  return RegDeleteKeyA(H(key), subKey.c_str());
}

long Win32RegistryApi::CloseKey(RegHandle key) { return RegCloseKey(H(key)); }
