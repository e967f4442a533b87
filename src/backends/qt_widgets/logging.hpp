#pragma once
#include <string>

// The program's diagnostics through Qt's logging categories
// ("larkspire.startup", "larkspire.registry", ...), on stderr: failures
// always, the rest with --verbose or QT_LOGGING_RULES.

// Routes the program's log lines to the categories; verbose shows the
// informational lines too.
void InstallQtLogging(bool verbose);

// Also appends every line of the log from now on to file (made private to
// the user when it is new): a wizard started from the desktop has no
// terminal. Call it before anything is logged that the file should keep
// (before the display is looked for). One that cannot be opened is said on
// stderr, and the log goes on there alone.
void OpenLogFile(const std::string& file, bool verbose);

// Whether stderr is the stream systemd connected to the journal
// (JOURNAL_STREAM), which wants a priority instead of a time.
bool StderrIsTheJournal();
