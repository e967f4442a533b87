#include "app/win32_program_host.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "backends/win32/handles.hpp"
#include "backends/win32/single_instance.hpp"
#include "backends/win32/wide_text.hpp"
#include "support/app_texts.hpp"
#include "support/diagnostics.hpp"
#include "support/runtime_error.hpp"

// After the system's headers, which it needs.
#include <commctrl.h>

namespace {
// Each line of the log goes to the standard error (when there is one) and
// to the system's debug output, where a debugger or DebugView shows it;
// with --log-file, to that file too.
bool verbose = false;
FILE* logFile = nullptr;
std::string logPath;
void LogLine(LogArea area, LogLevel level, std::string_view line) {
  if (level != LogLevel::Failure && !verbose) return;
  const std::string text = FormatLogLine(LogAreaName(area), LogPriority(level), line) + "\n";
  std::fputs(text.c_str(), stderr);
  std::fflush(stderr);
  OutputDebugStringW(Widen(text).c_str());
  AppendToLogFile(logFile, logPath, std::string_view(text).substr(0, text.size() - 1));
}

// Whether the program was started with somewhere to print to.
bool HasConsole(DWORD stream) { return GetStdHandle(stream) != nullptr; }

// The imaging component decodes the header picture, the shell opens the
// package and the check's balloon needs the apartment too.
void StartCom() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE); }
}  // namespace

Win32ProgramHost::Win32ProgramHost() { SetLogSink(LogLine); }

Win32ProgramHost::~Win32ProgramHost() {
  check_.reset();
  platform_.reset();
  if (logFile) std::fclose(logFile);
  logFile = nullptr;
}

ProgramDescription Win32ProgramHost::Describe(const std::string& version, const std::string& updateHost) {
  return {.name = "larkspire-autoupdate",
          .command = "larkspire-autoupdate.exe",
          .version = version,
          .updateHost = updateHost};
}

std::vector<std::string> Win32ProgramHost::Arguments() {
  int count = 0;
  const UniqueLocalMemory wide(CommandLineToArgvW(GetCommandLineW(), &count));
  const auto* words = static_cast<LPWSTR*>(wide.Get());
  std::vector<std::string> arguments;
  for (int i = 0; i < count && words; ++i) arguments.push_back(Narrow(words[i]));
  return arguments;
}

bool Win32ProgramHost::Answer(const std::string& text) {
  if (HasConsole(STD_OUTPUT_HANDLE)) return WriteAnswer(text);
  MessageBoxW(nullptr, Widen(text).c_str(), Widen(AppTitle).c_str(), MB_OK | MB_ICONINFORMATION);
  return true;
}

void Win32ProgramHost::ShowRefusal(const std::string& reasonAndUsage) {
  // Started from a shortcut or Explorer nobody sees the log.
  if (!HasConsole(STD_ERROR_HANDLE))
    MessageBoxW(nullptr, Widen(reasonAndUsage).c_str(), Widen(AppTitle).c_str(), MB_OK | MB_ICONERROR);
}

void Win32ProgramHost::StartLog(const CommandLine& line) {
  verbose = line.verbose;
  if (line.logFile.empty()) return;
  logPath = line.logFile;
  logFile = _wfopen(Widen(line.logFile).c_str(), L"ab");
  if (!logFile)
    LogFailure(LogArea::Startup,
               "cannot write the log to " + line.logFile + ": " + std::strerror(errno) + "; it goes to stderr only");
}

Platform& Win32ProgramHost::StartCheck(const CommandLine&) {
  StartCom();
  check_ = std::make_unique<Win32CheckPlatform>();
  return check_->services;
}

void Win32ProgramHost::RunEvents() {
  for (MSG message; !stopped_ && GetMessageW(&message, nullptr, 0, 0) > 0;) DispatchWindowMessage(message);
}

std::string Win32ProgramHost::StartWindowSystem(const CommandLine&) {
  StartCom();
  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  try {
    platform_ = std::make_unique<Win32Platform>();
  } catch (const RuntimeError& e) {
    // No desktop to open the window on (a service's session); anything
    // else is no display problem, and goes on as the error it is.
    if (e.Number() != Win32MainWindow::kNotMade) throw;
    return "no display to open the window on: " + e.Description();
  }
  return "";
}

std::unique_ptr<ISingleInstance> Win32ProgramHost::ClaimSingleInstance() {
  return std::make_unique<Win32SingleInstance>();
}

void Win32ProgramHost::Attach(IMainWindowEvents& wizard) {
  platform_->window->Attach(&wizard);
  platform_->window->SetQuitOnUnload(true);
}

int Win32ProgramHost::ShowAndRun() {
  platform_->window->Show();
  MSG message;
  while (true) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(message.wParam);
    if (got < 0) {
      LogFailure(LogArea::Startup,
                 "the window's messages cannot be read (error " + std::to_string(GetLastError()) + ")");
      return ExitStatus::ErrorQuit;
    }
    DispatchWindowMessage(message);
  }
}
