#pragma once
// The registry service, shaped like the Win32 calls the program makes
// (RegCreateKeyExA, RegOpenKeyExA, RegQueryValueExA, RegSetValueExA,
// RegEnumKeyExA, RegEnumValueA, RegDeleteKeyA, RegCloseKey). Names and string
// data are single-byte ("ANSI") text in the registry's code page. Every call
// returns a Win32 error code: 0 success, 259 end of an enumeration, anything
// else a failure.
#include <cstdint>
#include <string>

using RegHandle = std::uintptr_t;

// The code page of a registry's single-byte texts: Windows-1252 for the
// system's registry in the Win32 build, UTF-8 (as Windows' own code page
// 65001) for the per-user registry file, where paths in any script must fit.
enum class TextCodePage { Windows1252, Utf8 };

namespace Reg {
// Predefined root keys.
constexpr RegHandle ClassesRoot = 0x80000000u;
constexpr RegHandle CurrentUser = 0x80000001u;
constexpr RegHandle LocalMachine = 0x80000002u;
constexpr RegHandle Users = 0x80000003u;

// Value types.
constexpr std::uint32_t None = 0;
constexpr std::uint32_t Sz = 1;
constexpr std::uint32_t ExpandSz = 2;
constexpr std::uint32_t Binary = 3;
constexpr std::uint32_t Dword = 4;
constexpr std::uint32_t DwordBigEndian = 5;
constexpr std::uint32_t Link = 6;
constexpr std::uint32_t MultiSz = 7;

// Access rights.
constexpr std::uint32_t QueryValue = 0x0001;
constexpr std::uint32_t SetValue = 0x0002;
constexpr std::uint32_t CreateSubKey = 0x0004;
constexpr std::uint32_t EnumerateSubKeys = 0x0008;
constexpr std::uint32_t Notify = 0x0010;
constexpr std::uint32_t Delete = 0x10000;
constexpr std::uint32_t KeyRead = 0x20019;
constexpr std::uint32_t KeyWrite = 0x20006;

// Dispositions.
constexpr std::uint32_t CreatedNewKey = 1;
constexpr std::uint32_t OpenedExistingKey = 2;

// Return codes.
constexpr long Success = 0;
constexpr long FileNotFound = 2;
constexpr long AccessDenied = 5;
constexpr long InvalidHandle = 6;
constexpr long InvalidParameter = 87;
constexpr long MoreData = 234;
constexpr long NoMoreItems = 259;
constexpr long BadDb = 1009;
constexpr long CantWrite = 1013;
constexpr long RegistryCorrupt = 1015;
constexpr long KeyDeleted = 1018;
}  // namespace Reg

class IRegistryApi {
 public:
  virtual ~IRegistryApi() = default;

  // The code page of the names and string data that cross these calls.
  virtual TextCodePage CodePage() const { return TextCodePage::Windows1252; }
  // Where the values are kept, for the log ("the system's registry", "the
  // registry file ~/.config/...", with why it cannot be used when it cannot).
  virtual std::string Source() const { return "the system's registry"; }

  // Opens subKey below root, creating it (and any missing keys on the way)
  // when it does not exist. disposition receives CreatedNewKey or
  // OpenedExistingKey.
  virtual long CreateKeyEx(RegHandle root, const std::string& subKey, std::uint32_t access, RegHandle* result,
                           std::uint32_t* disposition) = 0;
  // Opens an existing key; FileNotFound when it does not exist.
  virtual long OpenKeyEx(RegHandle root, const std::string& subKey, std::uint32_t access, RegHandle* result) = 0;
  // Type and data of a value. With data == nullptr only *type and *size are
  // filled. With a buffer, *size is its capacity on entry and the data size
  // on return; MoreData (with the size needed) when the buffer is too small.
  virtual long QueryValueEx(RegHandle key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                            std::uint32_t* size) = 0;
  virtual long SetValueEx(RegHandle key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                          std::uint32_t size) = 0;
  // The name of subkey number index. *nameLen is the buffer's capacity in
  // characters including the terminating NUL on entry, and the name's length
  // without it on return. MoreData when the name does not fit.
  virtual long EnumKeyEx(RegHandle key, std::uint32_t index, char* name, std::uint32_t* nameLen) = 0;
  // Name, type and data of value number index, with the same buffer rules
  // for the name and for the data (*dataLen capacity in, size out).
  virtual long EnumValue(RegHandle key, std::uint32_t index, char* name, std::uint32_t* nameLen, std::uint32_t* type,
                         std::uint8_t* data, std::uint32_t* dataLen) = 0;
  // Deletes subKey of key; the key must have no subkeys.
  virtual long DeleteKey(RegHandle key, const std::string& subKey) = 0;
  virtual long CloseKey(RegHandle key) = 0;
};
