#include "support/diagnostics.hpp"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

namespace {
bool toJournal = false;

void StderrSink(LogArea area, LogLevel level, std::string_view line) {
  if (level != LogLevel::Failure) return;
  std::fputs((FormatLogLine(LogAreaName(area), LogPriority(level), line) + "\n").c_str(), stderr);
}

LogSink currentSink = StderrSink;

void Write(LogArea area, LogLevel level, std::string_view line) {
  try {
    currentSink(area, level, line);
  } catch (...) {
  }
}
}  // namespace

void SetLogSink(LogSink sink) { currentSink = sink ? sink : StderrSink; }

void AppendToLogFile(std::FILE*& file, const std::string& path, std::string_view line) {
  if (!file) return;
  if (std::fwrite(line.data(), 1, line.size(), file) == line.size() && std::fputc('\n', file) != EOF &&
      std::fflush(file) == 0)
    return;
  const std::string why = std::strerror(errno);
  file = nullptr;
  std::fputs(("cannot append to the log file " + path + ": " + why + "; the log goes on on stderr only\n").c_str(),
             stderr);
}

void SetLogToJournal(bool journal) { toJournal = journal; }
bool LogToJournal() { return toJournal; }

std::string FormatLogLine(std::string_view category, int priority, std::string_view text, bool forJournal) {
  const std::string tail = std::string(category) + ": " + std::string(text);
  if (forJournal) return "<" + std::to_string(priority) + ">" + tail;
  static constexpr const char* kWords[] = {"critical", "critical", "critical", "error",
                                           "warning",  "warning",  "info",     "debug"};
  const char* word = kWords[priority < 0 || priority > 7 ? 3 : priority];
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t seconds = system_clock::to_time_t(now);
  const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  char stamp[48] = "";
  if (const std::tm* local = std::localtime(&seconds)) std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", local);
  char withMillis[64];
  std::snprintf(withMillis, sizeof withMillis, "%s.%03d", stamp, static_cast<int>(millis));
  return std::string(withMillis) + " " + word + " " + tail;
}

const char* LogAreaName(LogArea area) {
  switch (area) {
    case LogArea::Startup:
      return "larkspire.startup";
    case LogArea::Registry:
      return "larkspire.registry";
    case LogArea::Catalog:
      return "larkspire.catalog";
    case LogArea::Transfer:
      return "larkspire.transfer";
    case LogArea::Install:
      return "larkspire.install";
    case LogArea::Broadcast:
      return "larkspire.broadcast";
  }
  return "larkspire";
}

void LogFailure(LogArea area, std::string_view line) { Write(area, LogLevel::Failure, line); }
void LogInfo(LogArea area, std::string_view line) { Write(area, LogLevel::Info, line); }
