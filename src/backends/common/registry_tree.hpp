#pragma once
// An in-memory registry: keys with case-preserving, case-insensitive names,
// typed values stored as raw bytes, under the predefined roots. It is the
// model shared by every registry backend that is not the system's own: the
// in-memory store of the tests and the per-user registry file.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry_api.hpp"

struct RegStoredValue {
  std::string name;  // in the hive's code page
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
};

struct RegKeyNode {
  RegKeyNode() = default;
  // A key lives where it was made (its indexes compare by its code page).
  RegKeyNode(const RegKeyNode&) = delete;
  RegKeyNode& operator=(const RegKeyNode&) = delete;

  std::string name;                    // in the hive's code page, as created
  std::vector<RegStoredValue> values;  // in creation order; changed through SetValue only
  // How names compare; every key of a hive has the hive's code page.
  TextCodePage codePage = TextCodePage::Windows1252;

  // The subkeys in the order they are enumerated: by folded name.
  const std::vector<std::unique_ptr<RegKeyNode>>& Subkeys() const;
  RegKeyNode* FindSubkey(std::string_view n) const;
  // Finds or adds a subkey; created is set when it was added.
  RegKeyNode* AddSubkey(std::string_view n, bool* created);
  bool RemoveSubkey(std::string_view n);
  RegStoredValue* FindValue(std::string_view n);
  void SetValue(std::string_view n, std::uint32_t type, std::vector<std::uint8_t> data);
  std::unique_ptr<RegKeyNode> Clone() const;

 private:
  struct NameLess {
    using is_transparent = void;
    const TextCodePage* cp;
    bool operator()(std::string_view a, std::string_view b) const;
  };
  // Finding a subkey or a value by name takes log n, and a new subkey goes
  // to the end until the subkeys are next listed, when they are sorted once:
  // a file of many keys or values, in any order, is read in n log n.
  mutable std::vector<std::unique_ptr<RegKeyNode>> subkeys_;
  mutable bool sorted_ = true;
  std::map<std::string, RegKeyNode*, NameLess> subkeyIndex_{NameLess{&codePage}};
  std::map<std::string, std::size_t, NameLess> valueIndex_{NameLess{&codePage}};
};

struct RegistryHive {
  explicit RegistryHive(TextCodePage codePage = TextCodePage::Windows1252);
  RegistryHive(const RegistryHive& other);
  RegistryHive& operator=(const RegistryHive& other);
  RegistryHive(RegistryHive&&) = default;
  RegistryHive& operator=(RegistryHive&&) = default;

  // The roots, in a fixed order, each a nameless key.
  std::map<RegHandle, std::unique_ptr<RegKeyNode>> roots;
  RegKeyNode* Root(RegHandle h) const;
  TextCodePage CodePage() const { return codePage_; }

 private:
  TextCodePage codePage_;
};

// Names of the predefined roots as the registry editor writes them.
const char* RootName(RegHandle root);
// The predefined root of a name, or 0.
RegHandle RootFromName(std::string_view name);

// Case folding of names, as the registry compares key and value names.
// Windows-1252 names fold byte by byte; UTF-8 names fold character by
// character, by Unicode's simple case folding (CaseClassKey), so the bytes
// of a multi-byte character are never taken for letters of their own.
std::string FoldName(std::string_view name);  // Windows-1252
bool NamesEqual(std::string_view a, std::string_view b, TextCodePage cp = TextCodePage::Windows1252);
// Below zero, zero or above zero as a sorts before, with or after b by
// folded characters: the order in which subkeys are enumerated.
int CompareNames(std::string_view a, std::string_view b, TextCodePage cp);

// Splits a key path at backslashes. Fails (returns false) on a path that
// begins with a backslash; empty parts in the middle or at the end are
// dropped.
bool SplitRegPath(std::string_view path, std::vector<std::string>* parts);

// Where a tree-backed registry keeps its hive. Each operation brackets its
// work with Begin and End; a store that lives in a file reloads and saves
// there.
class IHiveStore {
 public:
  virtual ~IHiveStore() = default;
  // Makes the current hive available for reading (forWrite false) or for a
  // change that End(true) will keep. Returns a registry error code; on
  // failure End is not called.
  virtual long Begin(bool forWrite, RegistryHive** hive) = 0;
  // Ends the bracket; with commit, keeps the change. Returns an error code.
  virtual long End(bool commit) = 0;
  // The code page of the hive's names and string data.
  virtual TextCodePage CodePage() const { return TextCodePage::Windows1252; }
  // Where the hive is kept, for the log.
  virtual std::string Source() const { return "the registry in memory"; }
};

// The Win32-shaped registry calls over a hive store. Handles name a key by
// its path, so a store that reloads between calls keeps them valid; a handle
// whose key was deleted fails with KeyDeleted, and so does a handle to a key
// that this client deleted even after a key of that name was made again.
class TreeRegistryApi : public IRegistryApi {
 public:
  explicit TreeRegistryApi(IHiveStore& store) : store_(store) {}

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
  TextCodePage CodePage() const override { return store_.CodePage(); }
  std::string Source() const override { return store_.Source(); }

  std::size_t OpenHandleCount() const { return handles_.size(); }

 private:
  struct OpenKey {
    RegHandle root;
    std::vector<std::string> path;
    std::uint32_t access;
    // Set when this client deleted the key: a later key of the same name is
    // another key, which the handle must not reach.
    bool deleted = false;
  };
  bool ValidName(std::string_view n, std::size_t maxChars) const;
  long ResolveBase(RegHandle key, RegHandle* root, std::vector<std::string>* path, std::uint32_t* access) const;
  static RegKeyNode* Walk(const RegistryHive& hive, RegHandle root, const std::vector<std::string>& path);
  long WithKey(RegHandle key, bool forWrite, std::uint32_t need, const std::function<long(RegKeyNode&)>& fn);
  RegHandle NewHandle(RegHandle root, std::vector<std::string> path, std::uint32_t access);
  void MarkDeleted(RegHandle root, const std::vector<std::string>& path);

  IHiveStore& store_;
  std::map<RegHandle, OpenKey> handles_;
  RegHandle next_ = 0x1000;
};

// Longest key name and value name the registry accepts, in characters.
constexpr std::size_t kMaxKeyNameLength = 255;
constexpr std::size_t kMaxValueNameLength = 16383;
// How many levels of keys a root can have below it.
constexpr std::size_t kMaxKeyDepth = 512;
