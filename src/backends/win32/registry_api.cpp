#include "backends/win32/registry_api.hpp"

#include <cstring>
#include <vector>

#include "backends/win32/prelude.hpp"
#include "backends/win32/wide_text.hpp"

namespace {
HKEY H(RegHandle h) { return reinterpret_cast<HKEY>(h); }

bool IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// The bytes the caller sees of data the system holds: UTF-16 text as UTF-8
// (its NULs kept where they were), anything else as it is.
std::string FromSystem(DWORD type, const std::vector<BYTE>& raw) {
  if (!IsText(type)) return std::string(raw.begin(), raw.end());
  std::wstring wide(raw.size() / sizeof(wchar_t), L'\0');
  std::memcpy(wide.data(), raw.data(), wide.size() * sizeof(wchar_t));
  return Narrow(wide);
}

// Copies bytes into the caller's buffer by the registry's rules: with no
// buffer only the size is told; one too small gets MoreData and the size
// needed.
long Deliver(const std::string& bytes, std::uint8_t* data, std::uint32_t* size) {
  const auto n = static_cast<std::uint32_t>(bytes.size());
  if (!size) return data ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
  const bool fits = !data || *size >= n;
  if (data && fits) std::memcpy(data, bytes.data(), n);
  *size = n;
  return fits ? ERROR_SUCCESS : ERROR_MORE_DATA;
}

// A name into the caller's buffer of *nameLen characters with its NUL.
long DeliverName(const std::string& utf8, char* name, std::uint32_t* nameLen) {
  if (utf8.size() + 1 > *nameLen) return ERROR_MORE_DATA;
  std::memcpy(name, utf8.c_str(), utf8.size() + 1);
  *nameLen = static_cast<std::uint32_t>(utf8.size());
  return ERROR_SUCCESS;
}

// The longest name a key or value can have, in UTF-16 units, with its NUL.
constexpr DWORD kLongestName = 16384;
}  // namespace

long Win32RegistryApi::CreateKeyEx(RegHandle root, const std::string& subKey, std::uint32_t access, RegHandle* result,
                                   std::uint32_t* disposition) {
  HKEY key = nullptr;
  DWORD disp = 0;
  const LONG rc = RegCreateKeyExW(H(root), Widen(subKey).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                                  &key, &disp);
  if (rc == ERROR_SUCCESS) {
    *result = reinterpret_cast<RegHandle>(key);
    if (disposition) *disposition = disp;
  }
  return rc;
}

long Win32RegistryApi::OpenKeyEx(RegHandle root, const std::string& subKey, std::uint32_t access, RegHandle* result) {
  HKEY key = nullptr;
  const LONG rc = RegOpenKeyExW(H(root), Widen(subKey).c_str(), 0, access, &key);
  if (rc == ERROR_SUCCESS) *result = reinterpret_cast<RegHandle>(key);
  return rc;
}

long Win32RegistryApi::QueryValueEx(RegHandle key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                                    std::uint32_t* size) {
  const std::wstring wide = Widen(name);
  DWORD t = 0, s = 0;
  std::vector<BYTE> raw;
  LONG rc;
  // The whole value, whatever the caller's buffer: its UTF-8 length is only
  // known once it is converted. A value that grows meanwhile is asked again.
  do {
    rc = RegQueryValueExW(H(key), wide.c_str(), nullptr, &t, nullptr, &s);
    if (rc != ERROR_SUCCESS) return rc;
    raw.resize(s);
    rc = RegQueryValueExW(H(key), wide.c_str(), nullptr, &t, raw.data(), &s);
  } while (rc == ERROR_MORE_DATA);
  if (rc != ERROR_SUCCESS) return rc;
  raw.resize(s);
  if (type) *type = t;
  return Deliver(FromSystem(t, raw), data, size);
}

long Win32RegistryApi::SetValueEx(RegHandle key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                                  std::uint32_t size) {
  if (!IsText(type)) return RegSetValueExW(H(key), Widen(name).c_str(), 0, type, data, size);
  std::wstring text = Widen(std::string(reinterpret_cast<const char*>(data), size));
  const auto count = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  // The system takes a NUL just past the counted text as part of it: the
  // buffer goes on with one that is not, so exactly the counted text is kept.
  text.push_back(L'\x1');
  return RegSetValueExW(H(key), Widen(name).c_str(), 0, type, reinterpret_cast<const BYTE*>(text.data()), count);
}

long Win32RegistryApi::EnumKeyEx(RegHandle key, std::uint32_t index, char* name, std::uint32_t* nameLen) {
  std::wstring wide(kLongestName, L'\0');
  DWORD len = kLongestName;
  FILETIME lastWrite;
  const LONG rc = RegEnumKeyExW(H(key), index, wide.data(), &len, nullptr, nullptr, nullptr, &lastWrite);
  if (rc != ERROR_SUCCESS) return rc;
  wide.resize(len);
  return DeliverName(Narrow(wide), name, nameLen);
}

long Win32RegistryApi::EnumValue(RegHandle key, std::uint32_t index, char* name, std::uint32_t* nameLen,
                                 std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataLen) {
  std::wstring wide(kLongestName, L'\0');
  DWORD len = 0, t = 0, s = 0;
  std::vector<BYTE> raw;
  LONG rc;
  do {
    len = kLongestName;
    rc = RegEnumValueW(H(key), index, wide.data(), &len, nullptr, &t, nullptr, &s);
    if (rc != ERROR_SUCCESS) return rc;
    raw.resize(s);
    len = kLongestName;
    rc = RegEnumValueW(H(key), index, wide.data(), &len, nullptr, &t, raw.data(), &s);
  } while (rc == ERROR_MORE_DATA);
  if (rc != ERROR_SUCCESS) return rc;
  wide.resize(len), raw.resize(s);
  if (const long named = DeliverName(Narrow(wide), name, nameLen); named != ERROR_SUCCESS) return named;
  if (type) *type = t;
  return dataLen ? Deliver(FromSystem(t, raw), data, dataLen) : ERROR_SUCCESS;
}

long Win32RegistryApi::DeleteKey(RegHandle key, const std::string& subKey) {
  return RegDeleteKeyW(H(key), Widen(subKey).c_str());
}

long Win32RegistryApi::CloseKey(RegHandle key) { return RegCloseKey(H(key)); }
