// The wizard program: reads its few options, makes sure it is the user's
// only wizard, wires the Linux and Qt backends, builds the main window and
// runs the event loop. The exit status tells whether the run failed (see
// ExitStatus).
#include <QApplication>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "app/display_check.hpp"
#include "app/linux_platform.hpp"
#include "app/start_up.hpp"
#include "app/update_check_run.hpp"
#include "backends/qt_widgets/logging.hpp"
#include "backends/qt_widgets/window/main_window.hpp"
#include "catalog/built_in_keys.hpp"
#include "support/diagnostics.hpp"
#include "wizard/frm_main.hpp"
#ifdef LARKSPIRE_FIRST_PAINT_PROBE
#include "first_paint_probe.hpp"  // the start-up benchmark's copy of the program only
#endif

namespace {
// A registry file that is not there reads as an empty registry; say so,
// before the wizard tells the user that Larkspire is not installed. (A file
// that is there but cannot be used says why itself.)
void ReportMissingRegistryFile(const FileHiveStore& store) {
  std::error_code error;
  if (!std::filesystem::exists(store.Path(), error))
    LogFailure(LogArea::Registry, "the registry file " + store.Path() + " does not exist");
  else
    LogInfo(LogArea::Registry, "reading " + store.Path());
}
// Whether the user chose Qt's platform on the command line.
bool PlatformGiven(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) return true;
  return false;
}
}  // namespace

int main(int argc, char** argv) {
  SetLogToJournal(StderrIsTheJournal());
  QCoreApplication::setApplicationName("larkspire-autoupdate");
  // --version also says where updates come from and whom they must be signed by.
  std::string version = LARKSPIRE_VERSION "\n" + TrustPolicyText(UpdateInfoUrlOf(LARKSPIRE_UPDATE_HOST));
  version.pop_back();  // Qt ends the line itself
  QCoreApplication::setApplicationVersion(QString::fromStdString(version));
  // The command line is read before the window system is asked for a
  // display (over ssh there is none), so a wrong one is refused alike.
  const CommandLine line = ReadCommandLine(std::vector<std::string>(argv, argv + argc));
  if (line.outcome == CommandLine::Outcome::Refuse) {
    LogFailure(LogArea::Startup, line.refusal + " (larkspire-autoupdate --help lists the options)");
    return ExitStatus::BadCommandLine;
  }
  if (line.outcome == CommandLine::Outcome::Inform) AnswerWithoutWindow(argc, argv);
  if (!line.logFile.empty()) OpenLogFile(line.logFile, line.verbose);
  if (line.check) return RunUpdateCheck(argc, argv, line.verbose);
  // Without a display that answers Qt would abort: say which, and leave.
  const DisplayChoice display = ChooseDisplay(PlatformGiven(argc, argv));
  if (!display.problem.empty()) {
    LogFailure(LogArea::Startup, display.problem);
    return ExitStatus::NoDisplay;
  }
  if (!display.platform.empty()) setenv("QT_QPA_PLATFORM", display.platform.c_str(), 1);

  QApplication app(argc, argv);
  QApplication::setDesktopFileName("larkspire-autoupdate");
  InstallQtLogging(line.verbose);

  LinuxPlatform platform;
  // Held until the program ends, after the installer has been handed the package.
  const WizardLock lock(WizardLock::DefaultPath(platform.registry.Store().Path()));
  if (TellWhenAlreadyRunning(lock, *platform.services.messageBox)) return ExitStatus::AlreadyRunning;
  ReportMissingRegistryFile(platform.registry.Store());
  frmMain form(platform.services, LARKSPIRE_UPDATE_HOST);
  QtMainWindow& window = *platform.window;
  window.Attach(&form);
  window.SetQuitOnUnload(true);
  form.Form_Load();
  if (window.Unloaded()) return form.ExitCode();
  window.CentreOnScreen();
#ifdef LARKSPIRE_FIRST_PAINT_PROBE
  const ExitAtFirstPaint probe(window);
#endif
  window.show();
  const int loop = app.exec();
  return form.ExitCode() != ExitStatus::Success ? form.ExitCode() : loop;
}
