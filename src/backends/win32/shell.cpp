#include "backends/win32/shell.hpp"

#include "backends/win32/prelude.hpp"
#include "backends/win32/wide_text.hpp"

bool Win32Shell::InstallerPresent() {
  const bool initialised = SUCCEEDED(CoInitialize(nullptr));
  CLSID clsid;
  bool present = false;
  if (SUCCEEDED(CLSIDFromProgID(L"WindowsInstaller.Installer", &clsid))) {
    IUnknown* object = nullptr;
    if (SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                   reinterpret_cast<void**>(&object)))) {
      object->Release();
      present = true;
    }
  }
  if (initialised) CoUninitialize();
  return present;
}

std::intptr_t Win32Shell::ShellExecute(const std::string& operation, const std::string& file,
                                       const std::string& parameters, const std::string& directory, int showCommand) {
  // UTF-16 all the way, so a package in a folder of any script is found.
  const HINSTANCE result =
      ::ShellExecuteW(GetActiveWindow(), Widen(operation).c_str(), Widen(file).c_str(), Widen(parameters).c_str(),
                      directory.empty() ? nullptr : Widen(directory).c_str(), showCommand);
  return reinterpret_cast<std::intptr_t>(result);
}
