#include "support/c_registry.hpp"

#include <algorithm>
#include <cstring>

#include "support/codepage.hpp"
#include "support/runtime_error.hpp"
#include "support/text_case.hpp"

namespace {
// Closes a key when the operation leaves, whichever way it leaves.
class KeyGuard {
 public:
  KeyGuard(IRegistryApi& api, RegHandle key) : api_(api), key_(key) {}
  ~KeyGuard() { api_.CloseKey(key_); }
  KeyGuard(const KeyGuard&) = delete;
  KeyGuard& operator=(const KeyGuard&) = delete;

 private:
  IRegistryApi& api_;
  RegHandle key_;
};

// Text up to, not including, the first NUL; the whole text when there is none.
std::string CutAtNul(const std::uint8_t* data, std::size_t n) {
  const void* nul = std::memchr(data, 0, n);
  const std::size_t len = nul ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - data) : n;
  return std::string(reinterpret_cast<const char*>(data), len);
}
}  // namespace

std::string cRegistry::ToRegistry(const std::string& text) const {
  return api_.CodePage() == TextCodePage::Utf8 ? text : Utf8ToAnsi(text);
}

std::string cRegistry::FromRegistry(std::string_view text) const {
  return api_.CodePage() == TextCodePage::Utf8 ? std::string(text) : AnsiToUtf8(text);
}

void cRegistry::Locate(const std::string& subkey, bool doDefault, std::int32_t winKey, RegHandle* root,
                       std::string* path) const {
  if (doDefault) {
    *root = Reg::CurrentUser;
    *path = ToRegistry(rootKey_ + subkey);
  } else {
    *root = static_cast<std::uint32_t>(winKey);
    *path = ToRegistry(subkey);
  }
}

RegValue cRegistry::RegRead(const std::string& subkey, const std::string& kname, bool doDefault, std::int32_t winKey) {
  RegValue result = std::string();
  RegHandle root = 0;
  std::string path;
  Locate(subkey, doDefault, winKey, &root, &path);
  RegHandle key = 0;
  // A key that is not there reads as a new, empty one would, but a read
  // never makes it: reading leaves the registry as it was.
  const long opened = api_.OpenKeyEx(root, path, Reg::KeyRead, &key);
  if (opened == Reg::FileNotFound)
    return readMissing_.emplace(root, UCase(FromRegistry(path))).second ? std::string(1, '\0') : result;
  if (opened != Reg::Success) return result;
  KeyGuard guard(api_, key);

  const std::string name = ToRegistry(kname);
  std::uint32_t type = 0;
  std::uint32_t size = 0;
  if (api_.QueryValueEx(key, name, &type, nullptr, &size) != Reg::Success) return result;

  // One spare byte beyond the data: a REG_BINARY read hands it back as a
  // trailing 0, which the product identifier's stored form relies on.
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(size) + 1, 0);
  std::uint32_t got = size;
  const bool read = api_.QueryValueEx(key, name, &type, buffer.data(), &got) == Reg::Success;
  if (!read) return result;
  switch (type) {
    case Reg::Sz:
    case Reg::MultiSz:
      result = FromRegistry(CutAtNul(buffer.data(), got));
      break;
    case Reg::ExpandSz:
      // The data without its final character (its terminating NUL).
      if (got > 0) result = FromRegistry(ExpandEnvStr(CutAtNul(buffer.data(), got - 1)));
      break;
    case Reg::Dword:
    case Reg::DwordBigEndian: {
      std::uint8_t b[4] = {0, 0, 0, 0};
      std::memcpy(b, buffer.data(), got < 4 ? got : 4);
      const auto v =
          static_cast<std::int32_t>(b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24));
      result = type == Reg::Dword ? v : SwapEndian(v);
      break;
    }
    case Reg::Binary:
      result = std::move(buffer);
      break;
    default:
      break;  // read but not returned
  }
  return result;
}

bool cRegistry::RegWrite(const std::string& subkey, const std::string& kname, const RegValue& data,
                         std::int32_t datatype, bool doDefault, std::int32_t winKey) {
  RegHandle root = 0;
  std::string path;
  Locate(subkey, doDefault, winKey, &root, &path);
  RegHandle key = 0;
  std::uint32_t disposition = 0;
  if (api_.CreateKeyEx(root, path, Reg::KeyWrite, &key, &disposition) != Reg::Success) return false;
  KeyGuard guard(api_, key);
  const std::string name = ToRegistry(kname);
  long rc = -1;
  switch (datatype) {
    case 1: {
      const std::string text = ToRegistry(ValueToText(data));
      rc = api_.SetValueEx(key, name, Reg::Sz, reinterpret_cast<const std::uint8_t*>(text.c_str()),
                           static_cast<std::uint32_t>(text.size() + 1));
      break;
    }
    case 3: {
      const auto* bytes = std::get_if<ByteArray>(&data);
      if (!bytes) return false;
      if (bytes->empty()) RaiseError(ErrNo::SubscriptOutOfRange);  // an array without bounds
      // Upper bound minus lower bound: the last element is never written.
      rc = api_.SetValueEx(key, name, Reg::Binary, bytes->data(), static_cast<std::uint32_t>(bytes->size() - 1));
      break;
    }
    case 4: {
      const std::uint32_t v = static_cast<std::uint32_t>(ValueToLong(data));
      const std::uint8_t le[4] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                                  static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
      rc = api_.SetValueEx(key, name, Reg::Dword, le, 4);
      break;
    }
    default:
      return false;  // no other type is ever written
  }
  return rc == Reg::Success;
}

template <typename EnumOne>
bool cRegistry::EnumerateInto(const std::string& sKey, std::vector<std::string>& arr, bool doDefault,
                              std::int32_t winKey, EnumOne enumOne) {
  RegHandle root = 0;
  std::string path;
  Locate(sKey, doDefault, winKey, &root, &path);
  RegHandle key = 0;
  if (api_.OpenKeyEx(root, path, Reg::KeyRead, &key) != Reg::Success) return false;
  KeyGuard guard(api_, key);
  try {
    for (std::uint32_t index = 0; index <= 1024; ++index) {
      std::string element;
      const long rc = enumOne(key, index, &element);
      if (rc == Reg::NoMoreItems) break;
      if (rc != Reg::Success) continue;  // skipped; a later success leaves it empty
      arr.resize(index + 1);
      arr[index] = std::move(element);
    }
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

bool cRegistry::RegEnumKeys(const std::string& sKey, std::vector<std::string>& arr, bool doDefault,
                            std::int32_t winKey) {
  return EnumerateInto(sKey, arr, doDefault, winKey, [this](RegHandle key, std::uint32_t index, std::string* out) {
    char name[256] = {};
    std::uint32_t len = 256;
    const long rc = api_.EnumKeyEx(key, index, name, &len);
    if (rc == Reg::Success) *out = FromRegistry(std::string_view(name, len));
    return rc;
  });
}

bool cRegistry::RegEnumValues(const std::string& sKey, std::vector<std::string>& arr, bool doDefault,
                              std::int32_t winKey) {
  return EnumerateInto(sKey, arr, doDefault, winKey, [this](RegHandle key, std::uint32_t index, std::string* out) {
    char name[256] = {};
    std::uint32_t nameLen = 256;
    std::uint8_t data[257] = {};
    std::uint32_t dataLen = 256;
    std::uint32_t type = 0;
    const long rc = api_.EnumValue(key, index, name, &nameLen, &type, data, &dataLen);
    if (rc != Reg::Success) return rc;
    if (type == Reg::Dword) {
      // A number is four bytes; longer data would overflow the conversion.
      const auto count = static_cast<std::int32_t>(std::min<std::uint32_t>(dataLen, 4));
      *out = std::to_string(static_cast<long long>(BytesToNumber(data, count, false)));
    } else {
      // A text value without its terminating NUL; a value with no data at
      // all cannot be cut that way and fails the whole enumeration.
      if (dataLen == 0) RaiseError(ErrNo::InvalidArgument);
      *out = FromRegistry(std::string_view(reinterpret_cast<const char*>(data), dataLen - 1));
    }
    return rc;
  });
}

bool cRegistry::EnumSubKeys(const std::string& path, std::vector<KeyEntry>& list) {
  RegHandle key = 0;
  if (api_.OpenKeyEx(Reg::CurrentUser, ToRegistry(path), Reg::Delete | Reg::EnumerateSubKeys, &key) != Reg::Success)
    return false;
  KeyGuard guard(api_, key);
  for (std::uint32_t index = 0; index <= 2048; ++index) {
    char name[256] = {};
    std::uint32_t len = 256;
    const long rc = api_.EnumKeyEx(key, index, name, &len);
    if (rc == Reg::NoMoreItems) return true;
    if (rc != Reg::Success) return false;
    list.push_back(KeyEntry{FromRegistry(std::string_view(name, len)), path});
  }
  return false;  // more subkeys than one deletion handles
}

bool cRegistry::RegDelete(const std::string& sKey, bool doDefault) {
  const std::string path = doDefault ? rootKey_ + sKey : sKey;
  std::vector<KeyEntry> list{KeyEntry{SplitKeyPath(path, false), SplitKeyPath(path, true)}};
  EnumSubKeys(path, list);
  for (std::size_t i = 0; i + 1 < list.size();) {
    ++i;
    if (!EnumSubKeys(list[i].Parent + "\\" + list[i].Name, list)) return false;
  }
  // Deepest keys last in the list: delete backwards so no key still has subkeys.
  for (std::size_t i = list.size(); i-- > 0;) {
    RegHandle parent = 0;
    if (api_.OpenKeyEx(Reg::CurrentUser, ToRegistry(list[i].Parent), Reg::Delete | Reg::EnumerateSubKeys, &parent) !=
        Reg::Success)
      return false;
    KeyGuard guard(api_, parent);
    if (api_.DeleteKey(parent, ToRegistry(list[i].Name)) != Reg::Success) return false;
  }
  return true;
}

std::string cRegistry::SplitKeyPath(const std::string& path, bool wantParent) {
  const std::size_t p = path.rfind('\\');
  std::string result = p == std::string::npos ? path : (wantParent ? path.substr(0, p) : path.substr(p + 1));
  if (result == "\\") result.clear();
  return result;
}

std::int32_t cRegistry::SwapEndian(std::int32_t value) {
  const auto v = static_cast<std::uint32_t>(value);
  return static_cast<std::int32_t>((v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24));
}

double cRegistry::BytesToNumber(const std::uint8_t* bytes, std::int32_t count, bool isUnsigned) {
  double result = bytes[0];
  double factor = 1;
  for (std::int32_t i = 1; i <= count - 1; ++i) {
    factor *= 256;
    double term = bytes[i];
    if (i == count - 1 && bytes[i] > 127 && !isUnsigned) term = bytes[i] - 256.0;
    result += term * factor;
  }
  return result;
}

std::string cRegistry::ExpandEnvStr(const std::string& text) {
  const std::uint32_t size = env_.ExpandEnvironmentStrings(text.c_str(), nullptr, 0);
  if (size == 0) RaiseError(ErrNo::InvalidArgument);
  std::string buffer(size, '\0');  // size - 1 characters and the NUL the call writes
  env_.ExpandEnvironmentStrings(text.c_str(), buffer.data(), size);
  buffer.resize(size - 1);
  return buffer;
}
