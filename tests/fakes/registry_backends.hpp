#pragma once
// Every registry backend that the shared suites run against. A suite asks
// for AllRegistryBackends() and runs each of its cases once per backend, so
// the backends cannot drift apart. On Linux they are the in-memory tree and
// the per-user registry file; in the Windows build (tests/win32, run under
// Wine) the system's own registry takes the file's place.
//
// Each backend gives every case a registry of its own that starts empty,
// with the predefined roots HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE. The
// Win32 backend (the Windows build) gets that by mapping those roots onto
// fresh scratch keys (RegOverridePredefKey) and deleting the scratch keys
// afterwards; its Seed goes through the registry calls one by one.
#include <functional>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "fakes/fake_platform.hpp"

#ifdef _WIN32
#include "win32/win32_registry_backend.hpp"
#else
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/file_hive_store.hpp"
#endif

// Where a backend knowingly departs from the registry behaviour the suites
// expect. The Linux stores depart nowhere; the system's registry under Wine
// departs in these ways, and the suites check the departures as they are so
// that they stay known (tests/win32/README.md says more).
enum class RegistryQuirk {
  // Values are enumerated in name order, not in the order they were made.
  ValuesInNameOrder,
  // A key name of 256 characters is accepted, not only up to 255.
  KeyNamesOf256Characters,
  // A handle without KEY_CREATE_SUB_KEY can still make subkeys.
  CreateWithoutCreateSubKeyRight,
  // Opening a key again through an empty path reports it as newly created.
  EmptyPathReportsCreated,
};

class RegistryBackend {
 public:
  virtual ~RegistryBackend() = default;
  virtual bool Has(RegistryQuirk) const { return false; }
  // The registry under test.
  virtual IRegistryApi& Api() = 0;
  // A second client of the same registry with handles of its own, the way
  // another process would see it (for the file store: a fresh reader of the
  // same file).
  virtual std::unique_ptr<IRegistryApi> OpenAnother() = 0;
  // Changes the stored registry in one step, for trees too large to build
  // one call at a time.
  virtual void Seed(const std::function<void(RegistryHive&)>& change) = 0;
};

struct RegistryBackendFactory {
  std::string name;
  std::function<std::unique_ptr<RegistryBackend>()> make;
};

inline void PrintTo(const RegistryBackendFactory& factory, std::ostream* os) { *os << factory.name; }

namespace registry_backends_detail {
inline void SeedStore(IHiveStore& store, const std::function<void(RegistryHive&)>& change) {
  RegistryHive* hive = nullptr;
  if (store.Begin(true, &hive) != Reg::Success) throw std::runtime_error("registry store refused the seed");
  change(*hive);
  if (store.End(true) != Reg::Success) throw std::runtime_error("registry store did not keep the seed");
}

class FakeBackend : public RegistryBackend {
 public:
  IRegistryApi& Api() override { return registry_; }
  std::unique_ptr<IRegistryApi> OpenAnother() override { return std::make_unique<TreeRegistryApi>(registry_.Store()); }
  void Seed(const std::function<void(RegistryHive&)>& change) override { SeedStore(registry_.Store(), change); }

 private:
  FakeRegistry registry_;
};

#ifdef _WIN32
class Win32Backend : public RegistryBackend {
 public:
  bool Has(RegistryQuirk quirk) const override { return RunningUnderWine() && WineHas(quirk); }
  IRegistryApi& Api() override { return registry_; }
  std::unique_ptr<IRegistryApi> OpenAnother() override { return std::make_unique<Win32RegistryApi>(); }
  void Seed(const std::function<void(RegistryHive&)>& change) override { scratch_.Seed(change); }

 private:
  static bool WineHas(RegistryQuirk quirk) {
    switch (quirk) {
      case RegistryQuirk::ValuesInNameOrder:
      case RegistryQuirk::KeyNamesOf256Characters:
      case RegistryQuirk::CreateWithoutCreateSubKeyRight:
      case RegistryQuirk::EmptyPathReportsCreated:
        return true;
    }
    return false;
  }

  Win32ScratchRegistry scratch_;
  Win32RegistryApi registry_;
};
#else
// The shared suites check the store's rules, not the disk: a memory-backed
// folder keeps their thousands of saves quick. The store's own tests of
// crashes and concurrent writers use the ordinary temporary folder.
inline std::string MemoryBackedFolder() {
  struct stat st {};
  if (stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) && access("/dev/shm", W_OK) == 0) return "/dev/shm";
  return "";
}

class FileBackend : public RegistryBackend {
 public:
  FileBackend() : dir_(MemoryBackedFolder()), path_(dir_.File("config/larkspire/registry.reg")), registry_(path_) {}
  IRegistryApi& Api() override { return registry_; }
  std::unique_ptr<IRegistryApi> OpenAnother() override { return std::make_unique<FileRegistryApi>(path_); }
  void Seed(const std::function<void(RegistryHive&)>& change) override {
    FileHiveStore store(path_);
    SeedStore(store, change);
  }

 private:
  TempDir dir_;
  std::string path_;
  FileRegistryApi registry_;
};
#endif
}  // namespace registry_backends_detail

inline std::vector<RegistryBackendFactory> AllRegistryBackends() {
  using namespace registry_backends_detail;
  return {
      {"FakeRegistry", [] { return std::unique_ptr<RegistryBackend>(new FakeBackend()); }},
#ifdef _WIN32
      {"Win32Registry", [] { return std::unique_ptr<RegistryBackend>(new Win32Backend()); }},
#else
      {"FileRegistry", [] { return std::unique_ptr<RegistryBackend>(new FileBackend()); }},
#endif
  };
}

// Names the instances of a value-parameterised suite after their backend.
struct RegistryBackendName {
  template <typename ParamInfo>
  std::string operator()(const ParamInfo& info) const {
    return info.param.name;
  }
};

// A path of nested keys in a hive, created as needed; the node at its end.
inline RegKeyNode* SeedKey(RegistryHive& hive, RegHandle root, const std::string& path) {
  std::vector<std::string> parts;
  SplitRegPath(path, &parts);
  RegKeyNode* node = hive.Root(root);
  for (const auto& p : parts) node = node->AddSubkey(p, nullptr);
  return node;
}
