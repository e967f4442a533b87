#pragma once
// Small helpers over the Win32-shaped registry calls, for tests that look at
// what a backend stores.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry_api.hpp"
#include "support/codepage.hpp"
#include "support/runtime_error.hpp"

inline constexpr std::uint32_t kKeyAllAccess = 0xF003F;  // KEY_ALL_ACCESS

struct StoredValue {
  long rc = -1;
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
};

// The run-time error number a call raises, or 0.
template <typename Call>
int ErrorOf(Call call) try {
  call();
  return 0;
} catch (const RuntimeError& e) {
  return e.Number();
}

inline std::vector<std::uint8_t> Bytes(const std::string& s) { return std::vector<std::uint8_t>(s.begin(), s.end()); }
inline std::vector<std::uint8_t> BytesZ(const std::string& s) { return Bytes(std::string(s) + '\0'); }

// A text written in Windows-1252, in the code page of the registry's calls.
inline std::string InCodePage(const IRegistryApi& api, const std::string& ansi) {
  return api.CodePage() == TextCodePage::Utf8 ? AnsiToUtf8(ansi) : ansi;
}

inline RegHandle MustCreate(IRegistryApi& api, RegHandle base, const std::string& path, std::uint32_t* made = nullptr) {
  RegHandle key = 0;
  EXPECT_EQ(api.CreateKeyEx(base, path, kKeyAllAccess, &key, made), Reg::Success) << "creating " << path;
  return key;
}

// Reads a value size first, as callers of the registry do; a spare byte
// beyond the size must stay untouched.
inline StoredValue ReadStored(IRegistryApi& api, RegHandle key, const std::string& name) {
  StoredValue v;
  std::uint32_t size = 0;
  if ((v.rc = api.QueryValueEx(key, name, &v.type, nullptr, &size)) != Reg::Success) return v;
  v.data.assign(size + 1, 0xEE);
  v.rc = api.QueryValueEx(key, name, &v.type, v.data.data(), &size);
  EXPECT_EQ(v.data.back(), 0xEE) << "the read wrote beyond the size it reported";
  v.data.resize(size);
  return v;
}

inline StoredValue ReadStoredAt(IRegistryApi& api, RegHandle root, const std::string& path, const std::string& name) {
  RegHandle key = 0;
  if (const long rc = api.OpenKeyEx(root, path, kKeyAllAccess, &key); rc != Reg::Success) return {rc, 0, {}};
  const StoredValue v = ReadStored(api, key, name);
  api.CloseKey(key);
  return v;
}

// Stores exactly the bytes given, from a buffer whose next byte is not a NUL
// (the system's registry keeps a NUL that follows uncounted text).
inline long WriteStored(IRegistryApi& api, RegHandle key, const std::string& name, std::uint32_t type,
                        std::vector<std::uint8_t> data) {
  const auto size = static_cast<std::uint32_t>(data.size());
  data.push_back(0xEE);
  return api.SetValueEx(key, name, type, size ? data.data() : nullptr, size);
}
