// The wizard program for Windows: the one start-up and close sequence with
// the Win32 backends. The exit status tells whether the run failed (see
// ExitStatus).
#include "app/win32_program_host.hpp"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  Win32ProgramHost host;
  return RunProgram(Win32ProgramHost::Arguments(), Win32ProgramHost::Describe(LARKSPIRE_VERSION, LARKSPIRE_UPDATE_HOST),
                    host);
}
