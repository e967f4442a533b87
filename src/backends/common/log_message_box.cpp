#include "backends/common/log_message_box.hpp"

#include "support/diagnostics.hpp"

int LogMessageBox::MsgBox(const std::string& prompt, int buttons, const std::string& title) {
  // One line in the log: each CR LF of the prompt becomes a blank.
  std::string line;
  for (std::size_t i = 0; i < prompt.size(); ++i) {
    const bool lineBreak = prompt.compare(i, 2, "\r\n") == 0;
    line += lineBreak ? ' ' : prompt[i];
    i += lineBreak;
  }
  LogFailure(LogArea::Startup, title + ": " + line);
  if ((buttons & Mb::ButtonsMask) != Mb::YesNo) return Mb::Ok;
  return (buttons & Mb::DefaultMask) == Mb::DefaultButton2 ? Mb::No : Mb::Yes;
}
