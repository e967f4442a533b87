#include "app/linux_program_host.hpp"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "app/display_check.hpp"
#include "backends/posix/wizard_lock.hpp"
#include "backends/qt_widgets/font_warm_up.hpp"
#include "backends/qt_widgets/logging.hpp"
#include "support/diagnostics.hpp"

namespace {
// The value of the window system's option name, "" when it was not given.
std::string ToolkitValue(const CommandLine& line, const std::string& name) {
  const auto& given = line.toolkitArguments;
  const auto at = std::find(given.begin(), given.end(), "-" + name);
  return at != given.end() && at + 1 != given.end() ? *(at + 1) : "";
}
}  // namespace

LinuxProgramHost::LinuxProgramHost(const char* program) : qtArguments_{program} {
  QCoreApplication::setApplicationName("larkspire-autoupdate");
}

void LinuxProgramHost::StartQt(const CommandLine& line, bool window) {
  qtArguments_.insert(qtArguments_.end(), line.toolkitArguments.begin(), line.toolkitArguments.end());
  for (std::string& argument : qtArguments_) qtArgv_.push_back(argument.data());
  qtArgv_.push_back(nullptr);
  qtArgc_ = static_cast<int>(qtArguments_.size());
  app_ = window ? std::make_unique<QApplication>(qtArgc_, qtArgv_.data())
                : std::make_unique<QCoreApplication>(qtArgc_, qtArgv_.data());
  InstallQtLogging(verbose_);
}

// The font database is not left filling while Qt goes.
LinuxProgramHost::~LinuxProgramHost() { WaitForFonts(); }

ProgramDescription LinuxProgramHost::Describe(const std::string& version, const std::string& updateHost) {
  return WithQtOptions({.name = "larkspire-autoupdate",
                        .command = "larkspire-autoupdate",
                        .version = version,
                        .updateHost = updateHost});
}

bool LinuxProgramHost::Answer(const std::string& text) { return WriteAnswer(text); }

void LinuxProgramHost::StartLog(const CommandLine& line) {
  verbose_ = line.verbose;
  if (!line.logFile.empty()) OpenLogFile(line.logFile, line.verbose);
}

Platform& LinuxProgramHost::StartCheck(const CommandLine& line) {
  StartQt(line, false);
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

std::string LinuxProgramHost::StartWindowSystem(const CommandLine& line) {
  // The X11 display the user named is the one looked at (and, for the
  // programs the wizard starts, the one they open on too).
  if (const std::string display = ToolkitValue(line, "display"); !display.empty())
    setenv("DISPLAY", display.c_str(), 1);
  // Without a display that answers Qt would abort: say which, and leave.
  const DisplayChoice display = ChooseDisplay(!ToolkitValue(line, "platform").empty());
  if (!display.problem.empty()) return display.problem;
  if (!display.platform.empty()) setenv("QT_QPA_PLATFORM", display.platform.c_str(), 1);
  StartQt(line, true);
  StartFontsOnSecondCpu();
  QApplication::setDesktopFileName("larkspire-autoupdate");
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
  WaitForFonts();
  window.show();
  return QCoreApplication::exec();
}
