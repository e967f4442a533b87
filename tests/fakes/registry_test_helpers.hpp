#pragma once
// Small helpers over the Win32-shaped registry calls, for tests that look at
// what a backend stores.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry_api.hpp"
#include "support/codepage.hpp"

// Every right a key can grant (KEY_ALL_ACCESS).
inline constexpr std::uint32_t kKeyAllAccess = 0xF003F;

// A value as the registry holds it: what the query returned, type and bytes.
struct StoredValue {
  long rc = -1;
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
};

// A text written in Windows-1252, in the code page of the registry's calls.
inline std::string InCodePage(const IRegistryApi& api, const std::string& ansi) {
  return api.CodePage() == TextCodePage::Utf8 ? AnsiToUtf8(ansi) : ansi;
}

// Opens or creates a key; records a test failure and returns 0 when it fails.
inline RegHandle MustCreate(IRegistryApi& api, RegHandle base, const std::string& path,
                            std::uint32_t access = kKeyAllAccess, std::uint32_t* disposition = nullptr) {
  RegHandle key = 0;
  std::uint32_t d = 0;
  const long rc = api.CreateKeyEx(base, path, access, &key, &d);
  EXPECT_EQ(rc, Reg::Success) << "creating " << path;
  if (disposition) *disposition = d;
  return rc == Reg::Success ? key : 0;
}

// Reads a value in two steps, size first, as callers of the registry do.
inline StoredValue ReadStored(IRegistryApi& api, RegHandle key, const std::string& name) {
  StoredValue v;
  std::uint32_t size = 0;
  v.rc = api.QueryValueEx(key, name, &v.type, nullptr, &size);
  if (v.rc != Reg::Success) return v;
  v.data.assign(size + 1, 0xEE);  // one spare byte that must stay untouched
  std::uint32_t got = size;
  v.rc = api.QueryValueEx(key, name, &v.type, v.data.data(), &got);
  EXPECT_EQ(v.data.back(), 0xEE) << "the read wrote beyond the size it reported";
  v.data.resize(got);
  return v;
}

// Reads a value below a predefined root in one go (opening and closing the key).
inline StoredValue ReadStoredAt(IRegistryApi& api, RegHandle root, const std::string& path, const std::string& name) {
  RegHandle key = 0;
  StoredValue v;
  v.rc = api.OpenKeyEx(root, path, kKeyAllAccess, &key);
  if (v.rc != Reg::Success) return v;
  v = ReadStored(api, key, name);
  api.CloseKey(key);
  return v;
}

// Stores exactly the bytes given. The system's registry also keeps the byte
// after string data when that byte is a NUL (it takes the caller to have
// left the terminator out of the count), so the data goes from a buffer
// whose next byte is not one.
inline long WriteStored(IRegistryApi& api, RegHandle key, const std::string& name, std::uint32_t type,
                        const std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> guarded(data);
  guarded.push_back(0xEE);
  return api.SetValueEx(key, name, type, data.empty() ? nullptr : guarded.data(),
                        static_cast<std::uint32_t>(data.size()));
}

// The names of a key's subkeys by index, up to the end code.
inline std::vector<std::string> SubkeyNames(IRegistryApi& api, RegHandle key) {
  std::vector<std::string> names;
  for (std::uint32_t i = 0;; ++i) {
    char buf[256];
    std::uint32_t len = sizeof buf;
    const long rc = api.EnumKeyEx(key, i, buf, &len);
    if (rc == Reg::NoMoreItems) break;
    EXPECT_EQ(rc, Reg::Success) << "subkey " << i;
    if (rc != Reg::Success || i > 100000) break;
    names.emplace_back(buf, len);
  }
  return names;
}

// Bytes of a text, with or without a terminating NUL.
inline std::vector<std::uint8_t> Bytes(const std::string& s) { return std::vector<std::uint8_t>(s.begin(), s.end()); }
inline std::vector<std::uint8_t> BytesZ(const std::string& s) {
  std::vector<std::uint8_t> b(s.begin(), s.end());
  b.push_back(0);
  return b;
}
