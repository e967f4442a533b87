#include "win32/win32_registry_backend.hpp"

#include <atomic>
#include <stdexcept>
#include <vector>

#include "platform/win32/win32_prelude.hpp"

namespace {
HKEY H(RegHandle h) { return reinterpret_cast<HKEY>(h); }

void Check(LONG rc, const char* what) {
  if (rc != ERROR_SUCCESS) throw std::runtime_error(std::string(what) + " failed with " + std::to_string(rc));
}

RegHandle CreateScratchKey(const std::string& path) {
  HKEY key = nullptr;
  Check(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        "creating a scratch key");
  return reinterpret_cast<RegHandle>(key);
}
}  // namespace

bool RunningUnderWine() {
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

void ReadRegistryBranch(RegHandle key, RegKeyNode* into) {
  for (DWORD i = 0;; ++i) {
    std::vector<char> name(16384 + 1);
    DWORD nameLen = static_cast<DWORD>(name.size());
    DWORD type = 0, size = 0;
    LONG rc = RegEnumValueA(H(key), i, name.data(), &nameLen, nullptr, &type, nullptr, &size);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    Check(rc, "sizing a value");
    std::vector<std::uint8_t> data(size);
    nameLen = static_cast<DWORD>(name.size());
    rc = RegEnumValueA(H(key), i, name.data(), &nameLen, nullptr, &type, data.data(), &size);
    Check(rc, "reading a value");
    data.resize(size);
    into->SetValue(std::string(name.data(), nameLen), type, std::move(data));
  }
  for (DWORD i = 0;; ++i) {
    std::vector<char> name(16384 + 1);
    DWORD nameLen = static_cast<DWORD>(name.size());
    const LONG rc = RegEnumKeyExA(H(key), i, name.data(), &nameLen, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    Check(rc, "listing subkeys");
    HKEY sub = nullptr;
    Check(RegOpenKeyExA(H(key), name.data(), 0, KEY_READ, &sub), "opening a subkey");
    ReadRegistryBranch(reinterpret_cast<RegHandle>(sub), into->AddSubkey(std::string(name.data(), nameLen), nullptr));
    RegCloseKey(sub);
  }
}

void WriteRegistryBranch(RegHandle key, const RegKeyNode& have, const RegKeyNode& want) {
  for (const auto& v : have.values) {
    bool kept = false;
    for (const auto& w : want.values) kept = kept || NamesEqual(v.name, w.name);
    if (!kept) Check(RegDeleteValueA(H(key), v.name.c_str()), "deleting a value");
  }
  for (const auto& w : want.values) {
    const RegStoredValue* old = nullptr;
    for (const auto& v : have.values)
      if (NamesEqual(v.name, w.name)) old = &v;
    if (old && old->name == w.name && old->type == w.type && old->data == w.data) continue;
    // A byte that is not a NUL after the data: the system keeps a NUL that
    // follows uncounted text.
    std::vector<std::uint8_t> guarded(w.data);
    guarded.push_back(0xEE);
    Check(RegSetValueExA(H(key), w.name.c_str(), 0, w.type, w.data.empty() ? nullptr : guarded.data(),
                         static_cast<DWORD>(w.data.size())),
          "writing a value");
  }
  for (const auto& sub : have.subkeys)
    if (!want.FindSubkey(sub->name)) Check(RegDeleteTreeA(H(key), sub->name.c_str()), "deleting a key");
  const RegKeyNode none;
  for (const auto& sub : want.subkeys) {
    HKEY child = nullptr;
    Check(RegCreateKeyExA(H(key), sub->name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr),
          "creating a key");
    const RegKeyNode* before = have.FindSubkey(sub->name);
    WriteRegistryBranch(reinterpret_cast<RegHandle>(child), before ? *before : none, *sub);
    RegCloseKey(child);
  }
}

Win32ScratchRegistry::Win32ScratchRegistry() {
  static std::atomic<unsigned> counter{0};
  path_ = "Software\\LarkspireTests\\" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
  // Whatever a crashed earlier run of this process id left is not this case's.
  RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
  currentUser_ = CreateScratchKey(path_ + "\\CurrentUser");
  localMachine_ = CreateScratchKey(path_ + "\\LocalMachine");
  Check(RegOverridePredefKey(HKEY_CURRENT_USER, H(currentUser_)), "mapping HKEY_CURRENT_USER");
  Check(RegOverridePredefKey(HKEY_LOCAL_MACHINE, H(localMachine_)), "mapping HKEY_LOCAL_MACHINE");
}

Win32ScratchRegistry::~Win32ScratchRegistry() {
  RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
  RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  RegCloseKey(H(currentUser_));
  RegCloseKey(H(localMachine_));
  RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
  // The parent goes too once the last case of every process has gone.
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\LarkspireTests");
}

void Win32ScratchRegistry::Seed(const std::function<void(RegistryHive&)>& change) {
  RegistryHive have;
  ReadRegistryBranch(currentUser_, have.Root(Reg::CurrentUser));
  ReadRegistryBranch(localMachine_, have.Root(Reg::LocalMachine));
  RegistryHive want = have;
  change(want);
  WriteRegistryBranch(currentUser_, *have.Root(Reg::CurrentUser), *want.Root(Reg::CurrentUser));
  WriteRegistryBranch(localMachine_, *have.Root(Reg::LocalMachine), *want.Root(Reg::LocalMachine));
}
