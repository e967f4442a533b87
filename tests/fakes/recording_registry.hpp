#pragma once
// A registry that passes every call on to another one and records what the
// caller did: how many values it wrote, and how many handles it left open.
#include <cstdint>
#include <string>

#include "platform/registry_api.hpp"

class RecordingRegistryApi : public IRegistryApi {
  using Str = const std::string&;
  using U32 = std::uint32_t;
  using U8 = std::uint8_t;
  using H = RegHandle;

 public:
  explicit RecordingRegistryApi(IRegistryApi& inner) : in_(inner) {}

  int setValueCalls = 0;
  std::size_t OpenHandles() const { return open_; }

  TextCodePage CodePage() const override { return in_.CodePage(); }
  long CreateKeyEx(H r, Str s, U32 a, H* k, U32* d) override { return Count(in_.CreateKeyEx(r, s, a, k, d), 1); }
  long OpenKeyEx(H r, Str s, U32 a, H* k) override { return Count(in_.OpenKeyEx(r, s, a, k), 1); }
  long QueryValueEx(H k, Str n, U32* t, U8* d, U32* s) override { return in_.QueryValueEx(k, n, t, d, s); }
  long SetValueEx(H k, Str n, U32 t, const U8* d, U32 s) override {
    return ++setValueCalls, in_.SetValueEx(k, n, t, d, s);
  }
  long EnumKeyEx(H k, U32 i, char* n, U32* l) override { return in_.EnumKeyEx(k, i, n, l); }
  long EnumValue(H k, U32 i, char* n, U32* l, U32* t, U8* d, U32* s) override {
    return in_.EnumValue(k, i, n, l, t, d, s);
  }
  long DeleteKey(H k, Str s) override { return in_.DeleteKey(k, s); }
  long CloseKey(H k) override { return Count(in_.CloseKey(k), -1); }

 private:
  long Count(long rc, int change) {
    if (rc == Reg::Success) open_ += change;
    return rc;
  }
  IRegistryApi& in_;
  std::size_t open_ = 0;
};
