#include "win32/win32_registry_backend.hpp"

#include <atomic>
#include <stdexcept>

#include "platform/win32/win32_prelude.hpp"

bool RunningUnderWine() {
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

Win32ScratchRegistry::Win32ScratchRegistry() {
  static std::atomic<unsigned> counter{0};
  path_ = "Software\\LarkspireTests\\" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
  RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());  // what a crashed run of this process id left
  const HKEY roots[2] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};
  HKEY keys[2] = {};
  for (int i = 0; i < 2; ++i)
    if (RegCreateKeyExA(HKEY_CURRENT_USER, (path_ + (i ? "\\LocalMachine" : "\\CurrentUser")).c_str(), 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &keys[i], nullptr) != ERROR_SUCCESS)
      throw std::runtime_error("no scratch registry");
  for (int i = 0; i < 2; ++i) {  // only once both exist: the first mapping moves HKEY_CURRENT_USER
    if (RegOverridePredefKey(roots[i], keys[i]) != ERROR_SUCCESS) throw std::runtime_error("no mapping");
    keys_[i] = reinterpret_cast<RegHandle>(keys[i]);
  }
}

Win32ScratchRegistry::~Win32ScratchRegistry() {
  RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
  RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  for (RegHandle key : keys_) RegCloseKey(reinterpret_cast<HKEY>(key));
  RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\LarkspireTests");  // once the last case of every process has gone
}
