#include "app/update_check_run.hpp"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "backends/common/log_message_box.hpp"
#include "backends/common/profile_file_reader.hpp"
#include "backends/libcurl/async_read_service.hpp"
#include "backends/linux/connection_state.hpp"
#include "backends/linux/guid_source.hpp"
#include "backends/openssl/signature_verifier.hpp"
#include "backends/posix/clock.hpp"
#include "backends/posix/environment.hpp"
#include "backends/posix/file_hive_store.hpp"
#include "backends/posix/file_system.hpp"
#include "backends/posix/process_control.hpp"
#include "backends/posix/wizard_lock.hpp"
#include "backends/qt_dbus/desktop_notification.hpp"
#include "backends/qt_widgets/event_loop.hpp"
#include "backends/qt_widgets/logging.hpp"
#include "support/diagnostics.hpp"
#include "wizard/update_check.hpp"

namespace {
// How long a check waits for the user to take the notification's action:
// the desktop keeps it on screen or in its list meanwhile.
constexpr int kActionWaitMs = 8 * 3600 * 1000;

// The services a check needs: the wizard's, without its window, dialogs,
// pictures or opener; a box it would show goes to the log.
struct CheckPlatform {
  FileRegistryApi registry{FileHiveStore::DefaultPath()};
  PosixEnvironment environment;
  PosixFileSystem files;
  PosixGuidSource guid;
  LogMessageBox messageBox;
  PosixProcessControl process;
  QtEventLoop events;
  PosixConnectionService connection;
  QtAsyncReadService reader;
  PosixClock clock;
  OpenSslSignatureVerifier verifier;
  ProfileFileReader profiles{files};
  Platform services{.registry = &registry,
                    .environment = &environment,
                    .files = &files,
                    .guid = &guid,
                    .messageBox = &messageBox,
                    .process = &process,
                    .profiles = &profiles,
                    .events = &events,
                    .connection = &connection,
                    .reader = &reader,
                    .clock = &clock,
                    .verifier = &verifier};
};

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

// Tells the desktop, once for this catalog; starts the wizard when the user
// takes the action.
void Announce(const UpdateCheck& check) {
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
}  // namespace

int RunUpdateCheck(int argc, char** argv, bool verbose) {
  QCoreApplication app(argc, argv);
  InstallQtLogging(verbose);
  CheckPlatform platform;
  std::optional<UpdateCheck> check;
  {
    // Never beside a wizard: the lock is the wizard's own, held while the
    // check reads and writes what the wizard does, and let go before the
    // wizard may be started from the notification.
    const WizardLock lock(WizardLock::DefaultPath(platform.registry.Store().Path()));
    if (lock.Status() == WizardLock::State::HeldElsewhere) {
      LogFailure(LogArea::Startup,
                 "a wizard or a check of this user is running (it holds " + lock.Path() + "); this check leaves");
      return ExitStatus::AlreadyRunning;
    }
    check.emplace(platform.services, LARKSPIRE_UPDATE_HOST);
    QEventLoop loop;
    bool finished = false;
    check->Start([&] { finished = true, loop.quit(); });
    if (!finished) loop.exec();
  }
  switch (check->Result) {
    case UpdateCheck::UpdateAvailable:
      LogInfo(LogArea::Startup, "the check found an update");
      Announce(*check);
      break;
    case UpdateCheck::UpToDate:
      LogInfo(LogArea::Startup, "the check found Larkspire up to date");
      break;
    default:
      LogFailure(LogArea::Startup, "the check failed; the next scheduled check tries again");
      break;
  }
  return check->Result;
}
