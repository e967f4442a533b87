#include "backends/win32/process_control.hpp"

#include <cstdlib>

void Win32ProcessControl::EndProgram(int exitStatus) { std::exit(exitStatus); }
