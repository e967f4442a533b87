#pragma once
// What the wizard settles before its window opens: its command line, read
// before the window system is asked for a display, so that a wrong option
// is refused the same way with a display or without; and whether another
// wizard of the same user is already running.
#include <string>
#include <vector>

#include "backends/posix/wizard_lock.hpp"
#include "platform/message_box.hpp"
#include "support/app_texts.hpp"

struct CommandLine {
  enum class Outcome {
    Run,     // open the wizard
    Inform,  // help or version asked for: print it, no display needed
    Refuse   // an unknown option or an argument the wizard does not take
  };
  Outcome outcome = Outcome::Run;
  bool verbose = false;
  bool check = false;   // --check: the quiet check, no window
  std::string logFile;  // --log-file: where the log is also appended ("" nowhere)
  std::string refusal;  // why it was refused, for the log
};

// Reads the arguments (the program's name first). The toolkit's own options
// (-platform, -display, -style, ...) are let through for it. Never raises.
CommandLine ReadCommandLine(const std::vector<std::string>& arguments);

// Prints the help or the version that the arguments ask for (Inform) and
// ends the program with status 0. Needs no display.
[[noreturn]] void AnswerWithoutWindow(int argc, char** argv);

// True when another wizard holds the lock: the user has been told (an
// information box) and the log says which lock, and this wizard is to leave.
bool TellWhenAlreadyRunning(const WizardLock& lock, IMessageBox& box);
