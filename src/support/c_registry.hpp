#pragma once
// cRegistry: reads and writes values under the current user's branch of the
// registry, relative to a key-path prefix (RootKey). Every operation opens
// the keys it needs and closes them before it returns. Texts are UTF-8 here
// and cross to the registry in its code page: converted to Windows-1252 and
// back, or passed as they are to a UTF-8 registry.
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <string_view>
#include <vector>

#include "platform/environment.hpp"
#include "platform/registry_api.hpp"
#include "support/reg_value.hpp"

// One key awaiting deletion: its own name and the path of its parent below
// HKEY_CURRENT_USER.
struct KeyEntry {
  std::string Name;
  std::string Parent;
};

class cRegistry {
 public:
  cRegistry(IRegistryApi& api, IEnvironment& env) : api_(api), env_(env) {}

  // The value's data: text, number or bytes (a REG_BINARY read holds one
  // extra 0 byte). "" when the key cannot be opened or the value is missing;
  // a one-character text of code 0 the first time a missing key is read
  // (which is not made: reading changes nothing). Raises
  // only for a broken environment expansion.
  RegValue RegRead(const std::string& subkey, const std::string& kname, bool doDefault = true, std::int32_t winKey = 0);
  // Stores data as text (1), binary (3: one byte fewer than the array holds)
  // or a 32-bit number (4). True when stored. Conversion errors reach the caller.
  bool RegWrite(const std::string& subkey, const std::string& kname, const RegValue& data, std::int32_t datatype = 1,
                bool doDefault = true, std::int32_t winKey = 0);
  // Names of the subkeys into arr (indices 0..n-1). False when the key is
  // missing (it is then created) or on any error.
  bool RegEnumKeys(const std::string& sKey, std::vector<std::string>& arr, bool doDefault = true,
                   std::int32_t winKey = 0);
  // Deletes the key and everything below it. False when anything fails.
  bool RegDelete(const std::string& sKey, bool doDefault = true);
  // Data of the values as text into arr, in enumeration order.
  bool RegEnumValues(const std::string& sKey, std::vector<std::string>& arr, bool doDefault = true,
                     std::int32_t winKey = 0);

  const std::string& RootKey() const { return rootKey_; }
  void RootKey(const std::string& sRootKey) { rootKey_ = sRootKey; }

  // Helpers, public so that their rules can be checked on their own.
  static std::string SplitKeyPath(const std::string& path, bool wantParent);
  static std::int32_t SwapEndian(std::int32_t value);
  static double BytesToNumber(const std::uint8_t* bytes, std::int32_t count, bool isUnsigned);
  // Expands %NAME% references in a text of the registry's code page (the
  // environment service speaks the same one); raises error 5 when the
  // expansion fails.
  std::string ExpandEnvStr(const std::string& text);

 private:
  // A text in the registry's code page, and back.
  std::string ToRegistry(const std::string& text) const;
  std::string FromRegistry(std::string_view text) const;
  // Where an operation's key lives: root and full path in the registry's code page.
  void Locate(const std::string& subkey, bool doDefault, std::int32_t winKey, RegHandle* root, std::string* path) const;
  bool EnumSubKeys(const std::string& path, std::vector<KeyEntry>& list);
  template <typename EnumOne>
  bool EnumerateInto(const std::string& sKey, std::vector<std::string>& arr, bool doDefault, std::int32_t winKey,
                     EnumOne enumOne);

  IRegistryApi& api_;
  IEnvironment& env_;
  std::string rootKey_;
  // The missing keys a read has met: a first read of one gives a NUL, as a
  // key just made would, and later ones read it as empty, without the key
  // ever being made.
  std::set<std::pair<RegHandle, std::string>> readMissing_;
};
