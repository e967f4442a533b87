#pragma once
// Ending the Windows program.
#include "platform/process_control.hpp"

class Win32ProcessControl : public IProcessControl {
 public:
  [[noreturn]] void EndProgram(int exitStatus) override;
};
