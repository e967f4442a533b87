#include "backends/qt_dbus/session_bus.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <QDBusError>

// The user's session bus. Without its address libdbus would start a bus of
// its own (autolaunch), which outlives the wizard and where no program of
// the product listens; so the only other place looked at is the one a
// desktop session keeps it in, $XDG_RUNTIME_DIR/bus. Otherwise there is no
// bus, and why says so.
QDBusConnection SessionBus(std::string& why) {
  if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    why = bus.lastError().message().toStdString();
    return bus;
  }
  const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
  const QByteArray socket = runtime + "/bus";
  struct stat st {};
  if (runtime.startsWith('/') && stat(socket.constData(), &st) == 0 && S_ISSOCK(st.st_mode) && st.st_uid == getuid())
    return QDBusConnection::connectToBus("unix:path=" + QString::fromLocal8Bit(socket), "larkspire-session");
  why = "DBUS_SESSION_BUS_ADDRESS is not set";
  return QDBusConnection(QString());
}
