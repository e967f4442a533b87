#pragma once
// The program's diagnostics: one line for every road that fails, with the
// reason and the path, address or line involved, so a user (or a desktop
// session's journal) can tell why the wizard stopped. The front end routes
// the lines to its logging categories; without one they go to stderr.
#include <cstdio>
#include <string>
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

// Whether lines go to the system journal, which keeps the time itself and
// reads a priority prefix; set once at start-up by the program.
void SetLogToJournal(bool journal);
bool LogToJournal();

// A line of the log as it is written, without its line break: for the
// journal "<3>category: text" (the syslog priority: 2 critical, 3 error,
// 4 warning, 6 info, 7 debug), else "2026-12-07T20:42:17.123 error
// category: text" with the local time (forJournal false: always this one,
// as a log file needs). Never raises.
std::string FormatLogLine(std::string_view category, int priority, std::string_view text,
                          bool forJournal = LogToJournal());
// Appends line and a line break to the log file (--log-file) at path and
// flushes it. When that fails (a full disk), says once on stderr why and
// sets file to nullptr: the log goes on on stderr only. The stream is left
// open for whichever thread still holds it; it is closed with the program.
void AppendToLogFile(std::FILE*& file, const std::string& path, std::string_view line);

// The syslog priority of a level of the program's own lines.
constexpr int LogPriority(LogLevel level) { return level == LogLevel::Failure ? 3 : 6; }

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
constexpr int UpdateFailed = 8;      // the last check or download failed (the user then cancelled)
}  // namespace ExitStatus
