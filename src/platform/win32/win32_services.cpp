#include "platform/win32/win32_backends.hpp"
#include "platform/win32/win32_prelude.hpp"

std::string SystemAnsiToUtf8(const std::string& ansi) {
  if (ansi.empty()) return "";
  const int wide = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(wide), L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), w.data(), wide);
  const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, out.data(), n, nullptr, nullptr);
  return out;
}

std::string Utf8ToSystemAnsi(const std::string& utf8) {
  if (utf8.empty()) return "";
  const int wide = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(wide), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), wide);
  const int n = WideCharToMultiByte(CP_ACP, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, w.data(), wide, out.data(), n, nullptr, nullptr);
  return out;
}

bool Win32GuidSource::CreateGuid(Guid* guid) {
  GUID g;
  if (FAILED(CoCreateGuid(&g))) return false;
  guid->Data1 = g.Data1;
  guid->Data2 = g.Data2;
  guid->Data3 = g.Data3;
  for (int i = 0; i < 8; ++i) guid->Data4[i] = g.Data4[i];
  return true;
}

std::uint32_t Win32WindowMessages::RegisterWindowMessage(const std::string& name) {
  return ::RegisterWindowMessageA(name.c_str());
}

bool Win32WindowMessages::BroadcastNotifyMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
  return SendNotifyMessageA(HWND_BROADCAST, msg, wParam, lParam) != 0;
}

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

bool Win32ConnectionService::InternetGetConnectedStateEx(std::uint32_t* flags, char* name, std::uint32_t nameLength,
                                                         std::uint32_t reserved) {
  DWORD f = 0;
  const BOOL ok = ::InternetGetConnectedStateExA(&f, name, nameLength, reserved);
  if (flags) *flags = f;
  return ok != FALSE;
}
