#include "backends/qt_widgets/logging.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QLoggingCategory>
#include <QString>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/diagnostics.hpp"

namespace {
// Failures are warnings and show by default; the rest only when asked for.
Q_LOGGING_CATEGORY(lcStartup, "larkspire.startup", QtWarningMsg)
Q_LOGGING_CATEGORY(lcRegistry, "larkspire.registry", QtWarningMsg)
Q_LOGGING_CATEGORY(lcCatalog, "larkspire.catalog", QtWarningMsg)
Q_LOGGING_CATEGORY(lcTransfer, "larkspire.transfer", QtWarningMsg)
Q_LOGGING_CATEGORY(lcInstall, "larkspire.install", QtWarningMsg)
Q_LOGGING_CATEGORY(lcBroadcast, "larkspire.broadcast", QtWarningMsg)

const QLoggingCategory& CategoryOf(LogArea area) {
  switch (area) {
    case LogArea::Startup:
      return lcStartup();
    case LogArea::Registry:
      return lcRegistry();
    case LogArea::Catalog:
      return lcCatalog();
    case LogArea::Transfer:
      return lcTransfer();
    case LogArea::Install:
      return lcInstall();
    case LogArea::Broadcast:
      return lcBroadcast();
  }
  return lcStartup();
}

void QtSink(LogArea area, LogLevel level, std::string_view line) {
  const QString text = QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
  if (level == LogLevel::Failure)
    qCWarning(CategoryOf(area)).noquote() << text;
  else
    qCInfo(CategoryOf(area)).noquote() << text;
}

// The file --log-file named, open for the program's life, and whether it
// keeps the informational lines too.
FILE* logFile = nullptr;
std::string logPath;
bool logVerbose = false;

// Every line, the program's and Qt's own, with its level (a failure of
// ours is an error, Qt's warnings stay warnings) and its category, so a
// journal tells a failure from a stage that went right and the subsystems
// apart.
void WriteLine(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  const bool ours = context.category && std::strncmp(context.category, "larkspire.", 10) == 0;
  int priority = 7;
  switch (type) {
    case QtDebugMsg:
      priority = 7;
      break;
    case QtInfoMsg:
      priority = 6;
      break;
    case QtWarningMsg:
      priority = ours ? LogPriority(LogLevel::Failure) : 4;
      break;
    case QtCriticalMsg:
    case QtFatalMsg:
      priority = 2;
      break;
  }
  const std::string category = context.category ? context.category : "default";
  const std::string text = message.toStdString();
  std::fputs((FormatLogLine(category, priority, text) + "\n").c_str(), stderr);
  std::fflush(stderr);
  // The file keeps the time and the level even where stderr is the journal.
  AppendToLogFile(logFile, logPath, FormatLogLine(category, priority, text, false));
}
}  // namespace

bool StderrIsTheJournal() {
  // systemd names the stream it connected as "device:inode".
  const char* stream = std::getenv("JOURNAL_STREAM");
  unsigned long long device = 0, inode = 0;
  struct stat st {};
  return stream && std::sscanf(stream, "%llu:%llu", &device, &inode) == 2 && fstat(STDERR_FILENO, &st) == 0 &&
         static_cast<unsigned long long>(st.st_dev) == device && static_cast<unsigned long long>(st.st_ino) == inode;
}

void InstallQtLogging(bool verbose) {
  SetLogToJournal(StderrIsTheJournal());
  qInstallMessageHandler(WriteLine);
  if (verbose) QLoggingCategory::setFilterRules("larkspire.*=true");
  SetLogSink(QtSink);
}

void OpenLogFile(const std::string& file, bool verbose) {
  const int fd = open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600);
  logFile = fd >= 0 ? fdopen(fd, "a") : nullptr;
  if (!logFile) {
    const std::string why = std::strerror(errno);
    if (fd >= 0) close(fd);
    LogFailure(LogArea::Startup, "cannot write the log to " + file + ": " + why + "; it goes to stderr only");
    return;
  }
  // Until Qt's logging takes over, the lines are written here as it writes them.
  logPath = file;
  logVerbose = verbose;
  SetLogSink([](LogArea area, LogLevel level, std::string_view line) {
    if (level != LogLevel::Failure && !logVerbose) return;
    std::fputs((FormatLogLine(LogAreaName(area), LogPriority(level), line) + "\n").c_str(), stderr);
    AppendToLogFile(logFile, logPath, FormatLogLine(LogAreaName(area), LogPriority(level), line, false));
  });
}
