#pragma once
#include <cstdint>
#include <string>

#include "platform/shell.hpp"

// The "WindowsInstaller.Installer" object and shell32's ShellExecuteA.
class Win32Shell : public IShell {
 public:
  bool InstallerPresent() override;
  std::intptr_t ShellExecute(const std::string& operation, const std::string& file, const std::string& parameters,
                             const std::string& directory, int showCommand) override;
};
