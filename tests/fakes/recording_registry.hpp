#pragma once
// A registry that passes every call on to another one and records what the
// caller did: how many values it wrote, and the handles it left open.
#include <cstdint>
#include <set>
#include <string>

#include "platform/registry_api.hpp"

class RecordingRegistryApi : public IRegistryApi {
 public:
  explicit RecordingRegistryApi(IRegistryApi& inner) : inner_(inner) {}

  int setValueCalls = 0;
  std::size_t OpenHandles() const { return open_.size(); }

  TextCodePage CodePage() const override { return inner_.CodePage(); }
  long CreateKeyEx(RegHandle root, const std::string& sub, std::uint32_t access, RegHandle* result,
                   std::uint32_t* disposition) override {
    return Opened(result, inner_.CreateKeyEx(root, sub, access, result, disposition));
  }
  long OpenKeyEx(RegHandle root, const std::string& sub, std::uint32_t access, RegHandle* result) override {
    return Opened(result, inner_.OpenKeyEx(root, sub, access, result));
  }
  long QueryValueEx(RegHandle key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* size) override {
    return inner_.QueryValueEx(key, name, type, data, size);
  }
  long SetValueEx(RegHandle key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                  std::uint32_t size) override {
    ++setValueCalls;
    return inner_.SetValueEx(key, name, type, data, size);
  }
  long EnumKeyEx(RegHandle key, std::uint32_t index, char* name, std::uint32_t* nameLen) override {
    return inner_.EnumKeyEx(key, index, name, nameLen);
  }
  long EnumValue(RegHandle key, std::uint32_t index, char* name, std::uint32_t* nameLen, std::uint32_t* type,
                 std::uint8_t* data, std::uint32_t* dataLen) override {
    return inner_.EnumValue(key, index, name, nameLen, type, data, dataLen);
  }
  long DeleteKey(RegHandle key, const std::string& sub) override { return inner_.DeleteKey(key, sub); }
  long CloseKey(RegHandle key) override {
    const long rc = inner_.CloseKey(key);
    if (rc == Reg::Success) open_.erase(key);
    return rc;
  }

 private:
  long Opened(RegHandle* key, long rc) {
    if (rc == Reg::Success) open_.insert(*key);
    return rc;
  }
  IRegistryApi& inner_;
  std::set<RegHandle> open_;
};
