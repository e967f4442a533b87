#pragma once
// A registry that passes every call on to another one and records what the
// caller did: which keys it opened with which access, which it deleted in
// what order, how many values it wrote, and which handles it left open.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/common/registry_tree.hpp"
#include "platform/registry_api.hpp"

struct RecordedOpen {
  std::string call;  // "CreateKeyEx" or "OpenKeyEx"
  std::string path;  // below its predefined root, as passed
  std::uint32_t access;
};

class RecordingRegistryApi : public IRegistryApi {
 public:
  explicit RecordingRegistryApi(IRegistryApi& inner) : inner_(inner) {}

  std::vector<RecordedOpen> opens;   // successful opens, in order
  std::vector<std::string> deleted;  // full paths of deleted keys, in order
  int setValueCalls = 0;
  int queryValueCalls = 0;

  // Handles opened through this recorder and not yet closed.
  std::size_t OpenHandles() const { return paths_.size(); }

  TextCodePage CodePage() const override { return inner_.CodePage(); }

  long CreateKeyEx(RegHandle root, const std::string& subKey, std::uint32_t access, RegHandle* result,
                   std::uint32_t* disposition) override {
    const long rc = inner_.CreateKeyEx(root, subKey, access, result, disposition);
    if (rc == Reg::Success) Remember("CreateKeyEx", root, subKey, access, *result);
    return rc;
  }
  long OpenKeyEx(RegHandle root, const std::string& subKey, std::uint32_t access, RegHandle* result) override {
    const long rc = inner_.OpenKeyEx(root, subKey, access, result);
    if (rc == Reg::Success) Remember("OpenKeyEx", root, subKey, access, *result);
    return rc;
  }
  long QueryValueEx(RegHandle key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* size) override {
    ++queryValueCalls;
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
  long DeleteKey(RegHandle key, const std::string& subKey) override {
    const long rc = inner_.DeleteKey(key, subKey);
    if (rc == Reg::Success) deleted.push_back(Join(PathOf(key), subKey));
    return rc;
  }
  long CloseKey(RegHandle key) override {
    const long rc = inner_.CloseKey(key);
    if (rc == Reg::Success) paths_.erase(key);
    return rc;
  }

 private:
  static std::string Join(const std::string& a, const std::string& b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    return a + "\\" + b;
  }
  std::string PathOf(RegHandle key) const {
    auto it = paths_.find(key);
    return it == paths_.end() ? std::string() : it->second;
  }
  void Remember(const char* call, RegHandle root, const std::string& subKey, std::uint32_t access, RegHandle h) {
    const std::string path = Join(PathOf(root), subKey);
    opens.push_back(RecordedOpen{call, path, access});
    paths_[h] = path;
  }

  IRegistryApi& inner_;
  std::map<RegHandle, std::string> paths_;
};
