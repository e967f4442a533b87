#pragma once
#include <cstdint>
#include <string>

#include "platform/shell.hpp"

// The desktop opener (xdg-open, or the program named by LARKSPIRE_OPENER)
// stands in for the installer service and the shell's "open".
class PosixShell : public IShell {
 public:
  bool InstallerPresent() override;
  std::intptr_t ShellExecute(const std::string& operation, const std::string& file, const std::string& parameters,
                             const std::string& directory, int showCommand) override;
  // The opener's full path, or "" (and a line in the log saying why).
  static std::string OpenerPath();
  // How long a hand-over waits for the opener's own answer.
  int openerWaitMs = 5000;
};
