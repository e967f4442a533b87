#pragma once
// The system's own registry as the backend of the shared registry suites:
// each case gets two fresh scratch keys below the real HKEY_CURRENT_USER,
// onto which the process's HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE are
// mapped (RegOverridePredefKey); they go with everything below them after.
#include <string>

#include "platform/win32/win32_backends.hpp"

bool RunningUnderWine();

class Win32ScratchRegistry {
 public:
  Win32ScratchRegistry();
  ~Win32ScratchRegistry();
  Win32ScratchRegistry(const Win32ScratchRegistry&) = delete;
  Win32ScratchRegistry& operator=(const Win32ScratchRegistry&) = delete;
  // Where the mapped HKEY_CURRENT_USER is, below the real one.
  std::string CurrentUserPath() const { return path_ + "\\CurrentUser"; }

 private:
  std::string path_;
  RegHandle keys_[2] = {};
};
