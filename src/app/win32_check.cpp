#include "app/win32_check.hpp"

#include <filesystem>
#include <fstream>
#include <string>

#include "backends/win32/handles.hpp"
#include "backends/win32/wide_text.hpp"
#include "support/diagnostics.hpp"
#include "wizard/update_check.hpp"

// After the system's headers, which they need.
#include <shellapi.h>
#include <shlobj.h>

namespace {
// How long the balloon's click is waited for.
constexpr UINT kActionWaitMs = 8 * 3600 * 1000;
constexpr UINT kIconMessage = WM_APP + 1;
constexpr UINT_PTR kGiveUpTimer = 1;

std::wstring AnnouncedFile() {
  PWSTR folder = nullptr;
  const HRESULT found = SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &folder);
  const UniqueTaskMemory owned(folder);
  if (found != S_OK) return L"";
  const std::wstring path = std::wstring(folder) + L"\\Larkspire";
  CreateDirectoryW(path.c_str(), nullptr);
  return path + L"\\announced";
}

// Remembers the catalog announced, replacing the file whole: a check that
// ends half-way leaves the last one remembered, never a part of a line.
void RememberAnnounced(const std::wstring& file, const std::string& identity) {
  const std::wstring partial = file + L".new";
  bool written = false;
  {
    std::ofstream out(std::filesystem::path(partial), std::ios::trunc);
    written = static_cast<bool>(out << identity << "\n" << std::flush);
  }
  if (written && MoveFileExW(partial.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return;
  LogFailure(LogArea::Startup, "cannot remember the announced update in " + Narrow(file) + " (error " +
                                   std::to_string(GetLastError()) + "); the next check announces it again");
}

// How the balloon ended: clicked, closed or not clicked in time.
bool clicked = false;
bool ended = false;
LRESULT CALLBACK IconWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kIconMessage) {
    const UINT event = LOWORD(lParam);
    if (event == NIN_BALLOONUSERCLICK || event == WM_LBUTTONUP) clicked = ended = true;
    if (event == NIN_BALLOONTIMEOUT || event == NIN_BALLOONHIDE) ended = true;
    return 0;
  }
  if (message == WM_TIMER && wParam == kGiveUpTimer) {
    ended = true;
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void CopyInto(wchar_t* field, std::size_t size, const std::wstring& text) {
  lstrcpynW(field, text.c_str(), static_cast<int>(size));
}

}  // namespace

void AnnounceInNotificationArea(const UpdateCheck& check) {
  const std::wstring file = AnnouncedFile();
  std::string announced;
  if (!file.empty()) std::getline(std::ifstream(std::filesystem::path(file)), announced);
  if (announced == check.CatalogIdentity) {
    LogInfo(LogArea::Startup, "this update was announced before: no new notification");
    return;
  }
  WNDCLASSEXW cls{};
  cls.cbSize = sizeof cls;
  cls.lpfnWndProc = IconWindowProc;
  cls.hInstance = GetModuleHandleW(nullptr);
  cls.lpszClassName = L"LarkspireAutoUpdateCheck";
  RegisterClassExW(&cls);
  const UniqueWindow owned(CreateWindowExW(0, cls.lpszClassName, L"Larkspire AutoUpdate", WS_POPUP, 0, 0, 0, 0, nullptr,
                                           nullptr, cls.hInstance, nullptr));
  const HWND window = owned.Get();
  NOTIFYICONDATAW icon{};
  icon.cbSize = sizeof icon;
  icon.hWnd = window;
  icon.uID = 1;
  icon.uFlags = NIF_ICON | NIF_TIP | NIF_INFO | NIF_MESSAGE;
  icon.uCallbackMessage = kIconMessage;
  icon.hIcon = LoadIconW(cls.hInstance, L"RID_ICON");
  std::wstring body = L"Larkspire AutoUpdate has determined that the following Larkspire components can be updated:";
  for (const std::string& component : check.Components) body += L"\n" + Widen(component);
  CopyInto(icon.szTip, std::size(icon.szTip), L"Larkspire AutoUpdate");
  CopyInto(icon.szInfoTitle, std::size(icon.szInfoTitle), L"Larkspire updates are available");
  CopyInto(icon.szInfo, std::size(icon.szInfo), body);
  icon.dwInfoFlags = NIIF_INFO;
  if (!window || !Shell_NotifyIconW(NIM_ADD, &icon)) {
    LogFailure(LogArea::Startup, "an update is available, but the notification area cannot show it (error " +
                                     std::to_string(GetLastError()) + ")");
    return;
  }
  LogInfo(LogArea::Startup, "told the user in the notification area that an update is available");
  if (!file.empty()) RememberAnnounced(file, check.CatalogIdentity);
  SetTimer(window, kGiveUpTimer, kActionWaitMs, nullptr);
  for (MSG message; !ended && GetMessageW(&message, nullptr, 0, 0) > 0;) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  Shell_NotifyIconW(NIM_DELETE, &icon);
  if (!clicked) return;
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  if (reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", self, nullptr, nullptr, SW_SHOWNORMAL)) > 32)
    LogInfo(LogArea::Startup, "started the wizard");
  else
    LogFailure(LogArea::Startup, "cannot start the wizard " + Narrow(self));
}
