// The wizard program: reads its few options, wires the Linux and Qt
// backends, builds the main window and runs the event loop. The exit status
// tells whether the run failed (see ExitStatus).
#include <QApplication>
#include <QCommandLineParser>
#include <filesystem>
#include <string_view>

#include "app/linux_platform.hpp"
#include "backends/qt/logging.hpp"
#include "backends/qt/window/main_window.hpp"
#include "support/diagnostics.hpp"
#include "wizard/frm_main.hpp"

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

// The options, with their help; process() prints help or version and exits.
void ReadOptions(QCommandLineParser& options, const QCommandLineOption& verbose) {
  options.setApplicationDescription(
      "Checks the Larkspire update server for a newer version, downloads and verifies the update, and hands it to "
      "the installer.");
  options.addHelpOption();
  options.addVersionOption();
  options.addOption(verbose);
  options.process(*QCoreApplication::instance());
}

bool AsksForHelpOrVersion(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (a == "-h" || a == "--help" || a == "--help-all" || a == "-v" || a == "--version" || a == "-?") return true;
  }
  return false;
}
}  // namespace

int main(int argc, char** argv) {
  QCoreApplication::setApplicationName("larkspire-autoupdate");
  QCoreApplication::setApplicationVersion(LARKSPIRE_VERSION);
  const QCommandLineOption verbose("verbose", "Also log what the wizard does, not only what fails.");
  // Help and version need no display: answer them before the window system
  // is asked for one (over ssh there is none).
  if (AsksForHelpOrVersion(argc, argv)) {
    QCoreApplication console(argc, argv);
    QCommandLineParser options;
    ReadOptions(options, verbose);
    return 0;
  }
  QApplication app(argc, argv);
  QApplication::setDesktopFileName("larkspire-autoupdate");
  QCommandLineParser options;
  ReadOptions(options, verbose);  // an unknown option fails here
  InstallQtLogging(options.isSet(verbose));

  LinuxPlatform platform;
  ReportMissingRegistryFile(platform.registry.Store());
  frmMain form(platform.services, LARKSPIRE_UPDATE_HOST);
  QtMainWindow& window = *platform.window;
  window.Attach(&form);
  window.SetQuitOnUnload(true);
  form.Form_Load();
  if (window.Unloaded()) return form.ExitCode();
  window.CentreOnScreen();
  window.show();
  const int loop = app.exec();
  return form.ExitCode() != ExitStatus::Success ? form.ExitCode() : loop;
}
