#include "app/linux_check.hpp"

#include <QCoreApplication>
#include <QProcess>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "backends/qt_dbus/desktop_notification.hpp"
#include "support/diagnostics.hpp"
#include "wizard/update_check.hpp"

namespace {
// How long a check waits for the user to take the notification's action:
// the desktop keeps it on screen or in its list meanwhile.
constexpr int kActionWaitMs = 8 * 3600 * 1000;

std::filesystem::path AnnouncedFile() {
  if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state == '/')
    return std::filesystem::path(state) / "larkspire" / "announced";
  const char* home = std::getenv("HOME");
  return home && *home == '/' ? std::filesystem::path(home) / ".local/state/larkspire/announced"
                              : std::filesystem::path();
}

std::string Announced(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

// Remembers the catalog announced, replacing the file whole.
void RememberAnnounced(const std::filesystem::path& file, const std::string& identity) {
  std::error_code error;
  std::filesystem::create_directories(file.parent_path(), error);
  const std::filesystem::path partial = file.string() + ".new";
  {
    std::ofstream out(partial, std::ios::trunc);
    out << identity << "\n";
    if (!out.flush()) error = std::make_error_code(std::errc::io_error);
  }
  if (!error) std::filesystem::rename(partial, file, error);
  if (error)
    LogFailure(LogArea::Startup, "cannot remember the announced update in " + file.string() + ": " + error.message() +
                                     "; the next check announces it again");
}

}  // namespace

void AnnounceOnDesktop(const UpdateCheck& check) {
  const std::filesystem::path file = AnnouncedFile();
  if (!file.empty() && Announced(file) == check.CatalogIdentity) {
    LogInfo(LogArea::Startup, "this update was announced before: no new notification");
    return;
  }
  QString body = QStringLiteral(
      "Larkspire AutoUpdate has determined that the following Larkspire components can be "
      "updated:");
  for (const std::string& component : check.Components) body += "\n" + QString::fromStdString(component);
  DesktopNotification notification;
  std::string why;
  if (!notification.Show(QStringLiteral("Larkspire updates are available"), body, QStringLiteral("Update now"), why)) {
    LogFailure(LogArea::Startup, "an update is available, but the desktop cannot be told: " + why);
    return;
  }
  LogInfo(LogArea::Startup, "told the desktop that an update is available");
  if (!file.empty()) RememberAnnounced(file, check.CatalogIdentity);
  if (!notification.WaitForAction(kActionWaitMs)) return;
  const char* wizard = std::getenv("LARKSPIRE_WIZARD");
  const QString program = wizard && *wizard ? QString::fromLocal8Bit(wizard) : QCoreApplication::applicationFilePath();
  if (QProcess::startDetached(program, {}))
    LogInfo(LogArea::Startup, "started the wizard " + program.toStdString());
  else
    LogFailure(LogArea::Startup, "cannot start the wizard " + program.toStdString());
}
