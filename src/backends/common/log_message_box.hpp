#pragma once
// Message boxes for a run without a window (the quiet check): nobody is
// there to read or answer one, so its prompt goes to the log, on one line,
// and the box's default answer is taken.
#include <string>

#include "platform/message_box.hpp"

class LogMessageBox : public IMessageBox {
 public:
  // Logs "title: prompt" and returns the default button's answer (Ok for a
  // box with one button). Never raises.
  int MsgBox(const std::string& prompt, int buttons, const std::string& title) override;
};
