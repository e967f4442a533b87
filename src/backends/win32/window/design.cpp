#include "backends/win32/window/design.hpp"

#include <cmath>
#include <map>
#include <utility>

#include "backends/win32/handles.hpp"
#include "backends/win32/wide_text.hpp"

const wchar_t* const kMainWindowClass = L"LarkspireAutoUpdate";
const wchar_t* const kErrorDialogClass = L"LarkspireAutoUpdateError";
const wchar_t* const kPanelClass = L"LarkspirePanel";
const wchar_t* const kPictureClass = L"LarkspirePicture";

namespace {
int dpiNow = 0;
}  // namespace

int ScreenDpi() {
  if (!dpiNow) {
    const WindowDc screen(nullptr);
    dpiNow = screen.Get() ? GetDeviceCaps(screen.Get(), LOGPIXELSX) : 96;
    if (dpiNow <= 0) dpiNow = 96;
  }
  return dpiNow;
}

void SetScreenDpi(int dpi) {
  if (dpi > 0) dpiNow = dpi;
}

double PixelsPerTwip() { return ScreenDpi() / 1440.0; }

int TwipsToPixels(int twips, double pxPerTwip) { return static_cast<int>(std::lround(twips * pxPerTwip)); }

RECT PixelRect(const TwipsRect& r, double px) {
  const int left = TwipsToPixels(r.Left, px), top = TwipsToPixels(r.Top, px);
  return {left, top, left + TwipsToPixels(r.Width, px), top + TwipsToPixels(r.Height, px)};
}

HFONT DialogFontOfSize(int points) {
  static std::map<std::pair<int, int>, HFONT> made;
  HFONT& font = made[{ScreenDpi(), points}];
  // The system's dialog face: the classic sans of 8-point dialogs.
  if (!font)
    font = CreateFontW(-MulDiv(points, ScreenDpi(), 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_SWISS,
                       L"MS Shell Dlg 2");
  return font;
}

HFONT DialogFont() { return DialogFontOfSize(8); }

double TextPixels(HFONT font, const std::wstring& text) {
  const WindowDc dc(nullptr);
  if (!dc.Get()) return 0;
  const SelectedObject selected(dc.Get(), font);
  SIZE size{};
  GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &size);
  return size.cx;
}

std::wstring ButtonText(const std::string& caption) {
  std::wstring text = Widen(caption);
  if (text.find(L'&') == std::wstring::npos && !text.empty() && IsCharAlphaNumericW(text.front()))
    text.insert(text.begin(), L'&');
  return text;
}

namespace {
// Panels are containers only: what their controls tell their parent goes
// on to the window, which handles every control's clicks and colours.
LRESULT CALLBACK PanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return SendMessageW(GetParent(panel), message, wParam, lParam);
    default:
      return DefWindowProcW(panel, message, wParam, lParam);
  }
}

void RegisterClassOf(const wchar_t* name, WNDPROC proc, HICON icon) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  wc.lpszClassName = name;
  wc.hIcon = icon;
  RegisterClassExW(&wc);
}
}  // namespace

void RegisterWindowClasses(WNDPROC mainProc, WNDPROC dialogProc, WNDPROC pictureProc) {
  static bool registered = false;
  if (registered) return;
  registered = true;
  // The program's own icon from its resource script, for the title bar and
  // the task bar until the window sets its own.
  const HICON icon = LoadIconW(GetModuleHandleW(nullptr), L"RID_ICON");
  RegisterClassOf(kMainWindowClass, mainProc, icon);
  RegisterClassOf(kErrorDialogClass, dialogProc, icon);
  RegisterClassOf(kPanelClass, PanelProc, nullptr);
  RegisterClassOf(kPictureClass, pictureProc, nullptr);
}

HICON ResourceIcon(const std::string& name, int systemMetric) {
  const int size = GetSystemMetrics(systemMetric);
  return static_cast<HICON>(
      LoadImageW(GetModuleHandleW(nullptr), Widen(name).c_str(), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}
