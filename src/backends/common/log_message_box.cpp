#include "backends/common/log_message_box.hpp"

#include "support/diagnostics.hpp"

int LogMessageBox::MsgBox(const std::string& prompt, int buttons, const std::string& title) {
  std::string line = prompt;
  for (std::size_t at; (at = line.find("\r\n")) != std::string::npos;) line.replace(at, 2, " ");
  LogFailure(LogArea::Startup, title + ": " + line);
  if ((buttons & Mb::ButtonsMask) != Mb::YesNo) return Mb::Ok;
  return (buttons & Mb::DefaultMask) == Mb::DefaultButton2 ? Mb::No : Mb::Yes;
}
