#include "backends/posix/process_control.hpp"

#include <cstdlib>

void PosixProcessControl::EndProgram(int exitStatus) { std::exit(exitStatus); }
