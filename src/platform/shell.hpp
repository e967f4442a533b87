#pragma once
// The desktop shell and the installer service.
#include <cstdint>
#include <string>

class IShell {
 public:
  virtual ~IShell() = default;
  // Whether the installer service can be created (the installer automation
  // object); the object itself is not used.
  virtual bool InstallerPresent() = 0;
  // Opens file with the verb operation (ShellExecuteA); returns a value
  // above 32 on success. Never waits for the opened program.
  virtual std::intptr_t ShellExecute(const std::string& operation, const std::string& file,
                                     const std::string& parameters, const std::string& directory, int showCommand) = 0;
};
