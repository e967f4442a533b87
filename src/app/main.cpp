// The wizard program for Linux: the one start-up and close sequence with
// the Linux and Qt backends. The exit status tells whether the run failed
// (see ExitStatus).
#include <string>
#include <vector>

#include "app/linux_program_host.hpp"
#include "backends/qt_widgets/logging.hpp"
#include "support/diagnostics.hpp"
#ifdef LARKSPIRE_FIRST_PAINT_PROBE
#include "first_paint_probe.hpp"  // the start-up benchmark's copy of the program only
#endif

int main(int argc, char** argv) {
  SetLogToJournal(StderrIsTheJournal());
  LinuxProgramHost host(argc > 0 ? argv[0] : "larkspire-autoupdate");
#ifdef LARKSPIRE_FIRST_PAINT_PROBE
  std::unique_ptr<ExitAtFirstPaint> probe;
  host.BeforeShow([&](QWidget& window) { probe = std::make_unique<ExitAtFirstPaint>(window); });
#endif
  return RunProgram(std::vector<std::string>(argv, argv + argc),
                    LinuxProgramHost::Describe(LARKSPIRE_VERSION, LARKSPIRE_UPDATE_HOST), host);
}
