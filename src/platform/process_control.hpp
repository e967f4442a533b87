#pragma once
// Ending the program.

// Raised by a test platform's EndProgram so that nothing after it runs.
struct ProgramEnded {};

class IProcessControl {
 public:
  virtual ~IProcessControl() = default;
  // Ends the program at once with that exit status (ExitStatus); does not return.
  virtual void EndProgram(int exitStatus) = 0;
};
