#include "backends/win32/message_box.hpp"

#include "backends/win32/wide_text.hpp"

int Win32MessageBox::MsgBox(const std::string& prompt, int buttons, const std::string& title) {
  // A box shown while the window is hidden (before it opens, or as the
  // program ends) still blocks the program's other windows.
  HWND owner = owner_ && IsWindowVisible(owner_) ? owner_ : nullptr;
  const UINT flags = static_cast<UINT>(buttons & (Mb::ButtonsMask | Mb::IconMask | Mb::DefaultMask)) |
                     (owner ? MB_APPLMODAL : MB_TASKMODAL | MB_SETFOREGROUND);
  const int answer = MessageBoxW(owner, Widen(prompt).c_str(), Widen(title).c_str(), flags);
  if (answer == 0) return (buttons & Mb::ButtonsMask) == Mb::YesNo ? Mb::No : Mb::Ok;
  return answer;
}
