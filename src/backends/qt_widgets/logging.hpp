#pragma once
// The program's diagnostics through Qt's logging categories
// ("larkspire.startup", "larkspire.registry", ...), on stderr: failures
// always, the rest with --verbose or QT_LOGGING_RULES.

// Routes the program's log lines to the categories; verbose shows the
// informational lines too.
void InstallQtLogging(bool verbose);

// Whether stderr is the stream systemd connected to the journal
// (JOURNAL_STREAM), which wants a priority instead of a time.
bool StderrIsTheJournal();
