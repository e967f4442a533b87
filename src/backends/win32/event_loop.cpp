#include "backends/win32/event_loop.hpp"

namespace {
bool busy = false;
}  // namespace

void DispatchWindowMessage(MSG& message) {
  if (message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST && message.hwnd) {
    HWND root = GetAncestor(message.hwnd, GA_ROOT);
    if (root && IsDialogMessageW(root, &message)) return;
  }
  TranslateMessage(&message);
  DispatchMessageW(&message);
}

bool BusyPointerShown() { return busy; }

void Win32EventLoop::DoEvents() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    DispatchWindowMessage(message);
  }
}

void Win32EventLoop::SetBusyPointer(bool on) {
  busy = on;
  SetCursor(LoadCursorW(nullptr, on ? IDC_WAIT : IDC_ARROW));
}
