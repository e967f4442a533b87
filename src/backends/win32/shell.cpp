#include "backends/win32/shell.hpp"

#include "backends/win32/ansi_text.hpp"
#include "backends/win32/prelude.hpp"

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
  const HINSTANCE result =
      ::ShellExecuteA(GetActiveWindow(), operation.c_str(), Utf8ToSystemAnsi(file).c_str(),
                      Utf8ToSystemAnsi(parameters).c_str(), Utf8ToSystemAnsi(directory).c_str(), showCommand);
  return reinterpret_cast<std::intptr_t>(result);
}
