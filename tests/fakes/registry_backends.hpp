#pragma once
// The registry backend the shared suites run against, the same suites in
// both builds: on Linux the per-user registry file, in the Windows build
// (run under Wine) the system's own registry with HKEY_CURRENT_USER and
// HKEY_LOCAL_MACHINE mapped onto fresh scratch keys. Each case gets a
// registry of its own that starts empty.
#include <memory>
#include <string>

#include "fakes/fake_platform.hpp"

#ifdef _WIN32
#include "win32/win32_registry_backend.hpp"
#else
#include <unistd.h>

#include "platform/posix/file_hive_store.hpp"
#endif

class RegistryBackend {
 public:
  virtual ~RegistryBackend() = default;
  virtual IRegistryApi& Api() = 0;
  // A second client of the same registry, as another process would see it.
  virtual std::unique_ptr<IRegistryApi> OpenAnother() = 0;
  // Wine's registry departs from Windows' and ours (tests/win32/README.md):
  // values enumerate in name order, key names may have 256 characters, a
  // handle without KEY_CREATE_SUB_KEY makes subkeys, and a key reopened
  // through an empty path is reported created.
  bool wine = false;
};

#ifdef _WIN32
class SystemRegistryBackend : public RegistryBackend {
 public:
  SystemRegistryBackend() { wine = RunningUnderWine(); }
  IRegistryApi& Api() override { return registry_; }
  std::unique_ptr<IRegistryApi> OpenAnother() override { return std::make_unique<Win32RegistryApi>(); }

 private:
  Win32ScratchRegistry scratch_;
  Win32RegistryApi registry_;
};
inline std::unique_ptr<RegistryBackend> MakeRegistryBackend() { return std::make_unique<SystemRegistryBackend>(); }
#else
// The suites check the store's rules, not the disk: a memory-backed folder
// keeps their many saves quick.
class FileRegistryBackend : public RegistryBackend {
 public:
  IRegistryApi& Api() override { return registry_; }
  std::unique_ptr<IRegistryApi> OpenAnother() override { return std::make_unique<FileRegistryApi>(path_); }

 private:
  TempDir dir_{access("/dev/shm", W_OK) == 0 ? "/dev/shm" : ""};
  std::string path_ = dir_.File("config/larkspire/registry.reg");
  FileRegistryApi registry_{path_};
};
inline std::unique_ptr<RegistryBackend> MakeRegistryBackend() { return std::make_unique<FileRegistryBackend>(); }
#endif
