#include "backends/qt/logging.hpp"

#include <QLoggingCategory>
#include <QString>

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
}  // namespace

void InstallQtLogging(bool verbose) {
  // Each line names its category, so a journal tells the subsystems apart.
  qSetMessagePattern("%{category}: %{message}");
  if (verbose) QLoggingCategory::setFilterRules("larkspire.*=true");
  SetLogSink(QtSink);
}
