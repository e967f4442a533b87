#pragma once
// Message boxes of the system, owned by the program's window.
#include "backends/win32/prelude.hpp"
#include "platform/message_box.hpp"

class Win32MessageBox : public IMessageBox {
 public:
  // The window the boxes belong to (none before it exists).
  void SetOwner(HWND owner) { owner_ = owner; }
  // The box's buttons, icon and default button are the system's own
  // numbers, as are its answers.
  int MsgBox(const std::string& prompt, int buttons, const std::string& title) override;

 private:
  HWND owner_ = nullptr;
};
