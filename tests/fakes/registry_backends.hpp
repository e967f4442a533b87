#pragma once
// The registry backend the shared suites run against, the same suites in
// both builds: on Linux the per-user registry file, in the Windows build
// (run under Wine) the system's own registry with HKEY_CURRENT_USER and
// HKEY_LOCAL_MACHINE mapped onto fresh scratch keys. Each case gets a
// registry of its own that starts empty. The helpers come along, and the
// system's environment, whose texts are UTF-8 as the registry's are.
#include <memory>
#include <string>

#include "fakes/registry_test_helpers.hpp"

#ifdef _WIN32
#include <atomic>
#include <stdexcept>

#include "backends/win32/environment.hpp"
#include "backends/win32/prelude.hpp"
#include "backends/win32/registry_api.hpp"
#include "backends/win32/wide_text.hpp"
using SystemEnvironment = Win32Environment;
inline void SetVar(const char* name, const std::string& utf8) {
  SetEnvironmentVariableW(Widen(name).c_str(), Widen(utf8).c_str());
}
#else
#include <unistd.h>

#include "backends/posix/environment.hpp"
#include "backends/posix/file_hive_store.hpp"
#include "fakes/fake_services.hpp"
using SystemEnvironment = PosixEnvironment;
inline void SetVar(const char* name, const std::string& value) { setenv(name, value.c_str(), 1); }
#endif

class RegistryBackend {
 public:
#ifdef _WIN32
  // Two scratch keys below the real HKEY_CURRENT_USER, onto which the
  // process's HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE are mapped; they go
  // with everything below them after.
  RegistryBackend() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    wine = ntdll && GetProcAddress(ntdll, "wine_get_version");
    static std::atomic<unsigned> counter{0};
    path_ = "Software\\LarkspireTests\\" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
    RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());  // what a crashed run of this process id left
    for (int i = 0; i < 2; ++i)
      if (RegCreateKeyExA(HKEY_CURRENT_USER, (path_ + (i ? "\\LocalMachine" : "\\CurrentUser")).c_str(), 0, nullptr, 0,
                          KEY_ALL_ACCESS, nullptr, &keys_[i], nullptr) != ERROR_SUCCESS)
        throw std::runtime_error("no scratch registry");
    // Only once both exist: the first mapping moves HKEY_CURRENT_USER.
    if (RegOverridePredefKey(HKEY_CURRENT_USER, keys_[0]) || RegOverridePredefKey(HKEY_LOCAL_MACHINE, keys_[1]))
      throw std::runtime_error("no mapping");
  }
  ~RegistryBackend() {
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    for (HKEY key : keys_) RegCloseKey(key);
    RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\LarkspireTests");  // once the last case of every process has gone
  }
  std::unique_ptr<IRegistryApi> OpenAnother() { return std::make_unique<Win32RegistryApi>(); }
#else
  std::unique_ptr<IRegistryApi> OpenAnother() { return std::make_unique<FileRegistryApi>(path_); }
#endif
  IRegistryApi& Api() { return registry_; }
  // Wine's registry departs from Windows' and ours (tests/backends/win32/README.md):
  // key names may have 256 characters, a handle without KEY_CREATE_SUB_KEY
  // makes subkeys, and a key reopened through an empty path is reported
  // created.
  bool wine = false;

 private:
#ifdef _WIN32
  std::string path_;
  HKEY keys_[2] = {};
  Win32RegistryApi registry_;
#else
  // The suites check the store's rules, not the disk: a memory-backed folder
  // keeps their many saves quick.
  TempDir dir_{access("/dev/shm", W_OK) == 0 ? "/dev/shm" : ""};
  std::string path_ = dir_.File("config/larkspire/registry.reg");
  FileRegistryApi registry_{path_};
#endif
};
