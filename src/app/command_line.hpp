#pragma once
// The wizard's command line, one grammar and one help text for the Linux
// and the Windows program. It is read before any window system is asked
// for a display (over ssh there is none), so a wrong line is refused alike
// with a display or without.
//
// An option is written with one dash or two ("-verbose", "--verbose"), a
// value after '=' or as the next argument (never empty); "-h", "-?", "/?"
// and "-v" are the short forms. The window system's own options (Qt's "-platform
// offscreen", on Linux) are let through for it. The wizard opens no file or
// address of the user's, so any other argument is refused: an argument it
// silently ignored would be a mistake the user never hears of.
#include <string>
#include <vector>

// What tells the two programs' command lines apart.
struct ProgramDescription {
  std::string name;        // the program's name, which --version tells
  std::string command;     // what the user types to start it
  std::string version;     // the version number
  std::string updateHost;  // where the program looks for updates (built in)
  // The window system's options, with a value and without: let through, and
  // listed by --help-all as toolkitHelp says.
  std::vector<std::string> toolkitValueOptions{};
  std::vector<std::string> toolkitFlags{};
  std::string toolkitHelp{};
};

struct CommandLine {
  enum class Outcome {
    Run,     // open the wizard (or run the quiet check)
    Inform,  // help or version asked for: show answer, no display needed. The
             // version also says where updates come from and whom they must be signed by.
    Refuse   // an unknown option, a missing value, or an argument the wizard does not take
  };
  Outcome outcome = Outcome::Run;
  bool verbose = false;
  bool check = false;   // --check: the quiet check, no window
  std::string logFile;  // --log-file: where the log is also appended ("" nowhere)
  // The window system's options given, as it reads them: each one with a
  // single dash, its value as the next argument ("-platform", "offscreen").
  std::vector<std::string> toolkitArguments;
  std::string refusal;  // why it was refused, for the user and the log
  std::string answer;   // the help or the version asked for
};

// Reads the arguments (the program's name first). A refusal names the
// argument with its control characters escaped, so that it cannot pass for
// a line of the log. Never raises.
CommandLine ReadCommandLine(const std::vector<std::string>& arguments, const ProgramDescription& program);

// The help text of the program (with all, also the window system's options).
std::string HelpText(const ProgramDescription& program, bool all = false);

// The window system's options the Linux program lets through to Qt.
ProgramDescription WithQtOptions(ProgramDescription program);
