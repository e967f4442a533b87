#pragma once
// The system's own registry as a backend of the shared registry suites.
// Each case gets two fresh scratch keys below the real HKEY_CURRENT_USER,
// and the process's HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE are mapped onto
// them (RegOverridePredefKey), so a case starts from an empty registry and
// leaves the real one as it was.
#include <functional>
#include <memory>
#include <string>

#include "platform/common/registry_tree.hpp"
#include "platform/win32/win32_backends.hpp"

// True when the program runs under Wine rather than on Windows itself.
bool RunningUnderWine();

// The keys and values below a key of the real registry, read through the
// registry calls.
void ReadRegistryBranch(RegHandle key, RegKeyNode* into);

// Makes the branch below key hold exactly what `want` holds, given that it
// holds `have` now: values and keys that went are deleted, the rest written.
void WriteRegistryBranch(RegHandle key, const RegKeyNode& have, const RegKeyNode& want);

class Win32ScratchRegistry {
 public:
  Win32ScratchRegistry();
  ~Win32ScratchRegistry();
  Win32ScratchRegistry(const Win32ScratchRegistry&) = delete;
  Win32ScratchRegistry& operator=(const Win32ScratchRegistry&) = delete;

  // Where the scratch keys are, below the real HKEY_CURRENT_USER.
  const std::string& Path() const { return path_; }
  // Changes the scratch registry in one step, through the registry calls.
  void Seed(const std::function<void(RegistryHive&)>& change);

 private:
  std::string path_;
  RegHandle currentUser_ = 0;
  RegHandle localMachine_ = 0;
};
