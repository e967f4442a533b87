#include "support/diagnostics.hpp"

#include <cstdio>
#include <string>

namespace {
void StderrSink(LogArea area, LogLevel level, std::string_view line) {
  if (level != LogLevel::Failure) return;
  std::fprintf(stderr, "%s: %.*s\n", LogAreaName(area), static_cast<int>(line.size()), line.data());
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

const char* LogAreaName(LogArea area) {
  switch (area) {
    case LogArea::Startup: return "larkspire.startup";
    case LogArea::Registry: return "larkspire.registry";
    case LogArea::Catalog: return "larkspire.catalog";
    case LogArea::Transfer: return "larkspire.transfer";
    case LogArea::Install: return "larkspire.install";
    case LogArea::Broadcast: return "larkspire.broadcast";
  }
  return "larkspire";
}

void LogFailure(LogArea area, std::string_view line) { Write(area, LogLevel::Failure, line); }
void LogInfo(LogArea area, std::string_view line) { Write(area, LogLevel::Info, line); }
