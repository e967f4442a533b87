// The wizard program for Windows: reads its few options, makes sure it is
// the user's only wizard, wires the Win32 backends, builds the main window
// and runs the message loop. The exit status tells whether the run failed
// (see ExitStatus).
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/win32_platform.hpp"
#include "app/win_update_check.hpp"
#include "backends/win32/handles.hpp"
#include "backends/win32/wide_text.hpp"
#include "catalog/built_in_keys.hpp"
#include "support/app_texts.hpp"
#include "support/diagnostics.hpp"
#include "wizard/frm_main.hpp"

// After the system's headers, which it needs.
#include <commctrl.h>

namespace {
const char* const kHelp =
    "Usage: larkspire-autoupdate.exe [--verbose] [--log-file <file>]\n"
    "Checks the Larkspire update server for a newer version, downloads and verifies the update, and hands it to "
    "the installer.\n\n"
    "Options:\n"
    "  --verbose   Also log what the wizard does, not only what fails.\n"
    "  --log-file <file>  Also append the log to <file> (a wizard started from a shortcut has no console).\n"
    "  --check     Check for an update without a window (as the daily task does) and tell the user when one\n"
    "              is waiting; exit status 0 up to date, 10 update available, 2 not installed, 8 failed,\n"
    "              6 a wizard is open.\n"
    "  -h, --help  Displays help on commandline options.\n"
    "  -v, --version  Displays version information.\n";

std::vector<std::string> Arguments() {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  const UniqueLocalMemory owned(wide);
  std::vector<std::string> arguments;
  for (int i = 0; i < count && wide; ++i) arguments.push_back(Narrow(wide[i]));
  return arguments;
}

// Each line of the log goes to the standard error (when there is one) and
// to the system's debug output, where a debugger or DebugView shows it.
// With --log-file, every line is also appended to that file: a window
// program started from a shortcut has no console.
bool verbose = false;
FILE* logFile = nullptr;
void LogLine(LogArea area, LogLevel level, std::string_view line) {
  if (level != LogLevel::Failure && !verbose) return;
  const std::string text = FormatLogLine(LogAreaName(area), LogPriority(level), line) + "\n";
  std::fputs(text.c_str(), stderr);
  std::fflush(stderr);
  OutputDebugStringW(Widen(text).c_str());
  if (logFile) {
    std::fputs(text.c_str(), logFile);
    std::fflush(logFile);
  }
}

// A text for the user at the command line; a box when the program has no
// console to print it on (started from the shell).
void Answer(const std::string& text) {
  if (GetStdHandle(STD_OUTPUT_HANDLE)) {
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
  } else {
    MessageBoxW(nullptr, Widen(text).c_str(), Widen(AppTitle).c_str(), MB_OK | MB_ICONINFORMATION);
  }
}

// The options: --verbose, or a request for the help or the version, which
// is answered at once. Anything else is refused with status 1.
bool check = false;
int ReadOptions(const std::vector<std::string>& arguments) {
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& a = arguments[i];
    if (a == "--verbose") {
      verbose = true;
    } else if ((a == "--log-file" && i + 1 < arguments.size()) || a.starts_with("--log-file=")) {
      const std::string file = a == "--log-file" ? arguments[++i] : a.substr(11);
      logFile = _wfopen(Widen(file).c_str(), L"ab");
      if (!logFile) LogFailure(LogArea::Startup, "cannot write the log to " + file + "; it goes to stderr only");
    } else if (a == "--check") {
      check = true;
    } else if (a == "-h" || a == "--help" || a == "/?") {
      Answer(kHelp);
      return ExitStatus::Success;
    } else if (a == "-v" || a == "--version") {
      Answer(std::string("larkspire-autoupdate ") + LARKSPIRE_VERSION + "\n" +
             TrustPolicyText(UpdateInfoUrlOf(LARKSPIRE_UPDATE_HOST)));
      return ExitStatus::Success;
    } else {
      const std::string reason = a.starts_with("-")
                                     ? "Unknown option '" + a + "'."
                                     : "Unexpected argument '" + a + "': the wizard takes no file or address.";
      LogFailure(LogArea::Startup, reason + " (larkspire-autoupdate.exe --help lists the options)");
      // Started from a shortcut or Explorer nobody sees the log: the reason
      // and the usage are shown in a box.
      if (!GetStdHandle(STD_ERROR_HANDLE))
        MessageBoxW(nullptr, Widen(reason + "\n\n" + kHelp).c_str(), Widen(AppTitle).c_str(), MB_OK | MB_ICONERROR);
      return ExitStatus::BadCommandLine;
    }
  }
  return -1;
}

int RunMessageLoop() {
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
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  SetLogSink(LogLine);
  if (const int status = ReadOptions(Arguments()); status >= 0) return status;
  if (check) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    return RunWindowsUpdateCheck();
  }
  // The imaging component decodes the header picture; the shell opens the package.
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  std::unique_ptr<Win32Platform> made;
  try {
    made = std::make_unique<Win32Platform>();
  } catch (const std::exception& e) {
    // No desktop to open the window on (a service's session, Wine without a display).
    LogFailure(LogArea::Startup, e.what());
    return ExitStatus::NoDisplay;
  }
  Win32Platform& platform = *made;
  // One wizard for each user's session: held until the program ends.
  const HANDLE lock = CreateMutexW(nullptr, FALSE, L"Local\\LarkspireAutoUpdate");
  if (lock && GetLastError() == ERROR_ALREADY_EXISTS) {
    LogFailure(LogArea::Startup, "another Larkspire AutoUpdate of this user is running; this one leaves");
    platform.services.messageBox->MsgBox(AlreadyRunningText, Mb::Information | Mb::OkOnly, AppTitle);
    return ExitStatus::AlreadyRunning;
  }
  frmMain form(platform.services, LARKSPIRE_UPDATE_HOST);
  Win32MainWindow& window = *platform.window;
  window.Attach(&form);
  window.SetQuitOnUnload(true);
  form.Form_Load();
  if (window.Unloaded()) return form.ExitCode();
  window.Show();
  const int loop = RunMessageLoop();
  return form.ExitCode() != ExitStatus::Success ? form.ExitCode() : loop;
}
