#pragma once
#include "platform/process_control.hpp"

// Ends the process with the exit status.
class PosixProcessControl : public IProcessControl {
 public:
  [[noreturn]] void EndProgram(int exitStatus) override;
};
