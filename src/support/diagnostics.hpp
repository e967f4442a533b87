#pragma once
// The program's diagnostics: one line for every road that fails, with the
// reason and the path, address or line involved, so a user (or a desktop
// session's journal) can tell why the wizard stopped. The front end routes
// the lines to its logging categories; without one they go to stderr.
#include <string_view>

// Where a line comes from; each area is a logging category of its own
// ("larkspire.registry", "larkspire.transfer", ...).
enum class LogArea { Startup, Registry, Catalog, Transfer, Install, Broadcast };

enum class LogLevel {
  Failure,  // a road that failed, or a fallback the user did not choose
  Info      // what the wizard did; shown when asked for (--verbose)
};

using LogSink = void (*)(LogArea area, LogLevel level, std::string_view line);

// Replaces where lines go; nullptr restores the default (failures to stderr).
void SetLogSink(LogSink sink);

// The category name of an area, such as "larkspire.registry".
const char* LogAreaName(LogArea area);

// Writes one line. Never raises.
void LogFailure(LogArea area, std::string_view line);
void LogInfo(LogArea area, std::string_view line);

// What the program's exit status says about the run.
namespace ExitStatus {
constexpr int Success = 0;           // finished, cancelled, or up to date
constexpr int BadCommandLine = 1;    // an unknown option, or an argument the wizard does not take
constexpr int NotInstalled = 2;      // no usable installation in the registry (or a broken registry file)
constexpr int ErrorQuit = 3;         // the user quit after an unexpected error, or there were too many
constexpr int HandOverFailed = 4;    // the installer could not be started
constexpr int InstallerMissing = 5;  // no installer service (no desktop opener): nothing could be installed
constexpr int AlreadyRunning = 6;    // another wizard of the same user is running; this one left at once
constexpr int NoDisplay = 7;         // no display to open the window on
}  // namespace ExitStatus
