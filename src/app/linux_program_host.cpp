#include "app/linux_program_host.hpp"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/display_check.hpp"
#include "backends/posix/wizard_lock.hpp"
#include "backends/qt_widgets/logging.hpp"
#include "support/diagnostics.hpp"

namespace {
// Whether the user chose Qt's platform on the command line.
bool PlatformGiven(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (a == "-platform" || a == "--platform" || a.starts_with("-platform=") || a.starts_with("--platform="))
      return true;
  }
  return false;
}
}  // namespace

LinuxProgramHost::LinuxProgramHost(int& argc, char** argv) : argc_(argc), argv_(argv) {
  QCoreApplication::setApplicationName("larkspire-autoupdate");
}

LinuxProgramHost::~LinuxProgramHost() = default;

ProgramDescription LinuxProgramHost::Describe(const std::string& version, const std::string& updateHost) {
  return WithQtOptions({.name = "larkspire-autoupdate",
                        .command = "larkspire-autoupdate",
                        .version = version,
                        .updateHost = updateHost});
}

void LinuxProgramHost::Answer(const std::string& text) {
  std::fputs(text.c_str(), stdout);
  std::fflush(stdout);
}

void LinuxProgramHost::StartLog(const CommandLine& line) {
  verbose_ = line.verbose;
  if (!line.logFile.empty()) OpenLogFile(line.logFile, line.verbose);
}

Platform& LinuxProgramHost::StartCheck() {
  app_ = std::make_unique<QCoreApplication>(argc_, argv_);
  InstallQtLogging(verbose_);
  check_ = std::make_unique<LinuxCheckPlatform>();
  return check_->services;
}

void LinuxProgramHost::RunEvents() {
  QEventLoop loop;
  events_ = &loop;
  loop.exec();
  events_ = nullptr;
}

void LinuxProgramHost::StopEvents() {
  if (events_) events_->quit();
}

std::string LinuxProgramHost::StartWindowSystem() {
  // Without a display that answers Qt would abort: say which, and leave.
  const DisplayChoice display = ChooseDisplay(PlatformGiven(argc_, argv_));
  if (!display.problem.empty()) return display.problem;
  if (!display.platform.empty()) setenv("QT_QPA_PLATFORM", display.platform.c_str(), 1);
  app_ = std::make_unique<QApplication>(argc_, argv_);
  QApplication::setDesktopFileName("larkspire-autoupdate");
  InstallQtLogging(verbose_);
  platform_ = std::make_unique<LinuxPlatform>();
  return "";
}

std::unique_ptr<ISingleInstance> LinuxProgramHost::ClaimSingleInstance() {
  return std::make_unique<WizardLock>(WizardLock::DefaultPath(FileHiveStore::DefaultPath()));
}

// A registry file that is not there reads as an empty registry; say so,
// before the wizard tells the user that Larkspire is not installed. (A file
// that is there but cannot be used says why itself.)
void LinuxProgramHost::BeforeWizard() {
  const std::string& path = platform_->registry.Store().Path();
  std::error_code error;
  if (!std::filesystem::exists(path, error))
    LogFailure(LogArea::Registry, "the registry file " + path + " does not exist");
  else
    LogInfo(LogArea::Registry, "reading " + path);
}

void LinuxProgramHost::Attach(IMainWindowEvents& wizard) {
  platform_->window->Attach(&wizard);
  platform_->window->SetQuitOnUnload(true);
}

int LinuxProgramHost::ShowAndRun() {
  QtMainWindow& window = *platform_->window;
  window.CentreOnScreen();
  if (beforeShow_) beforeShow_(window);
  window.show();
  return QCoreApplication::exec();
}
