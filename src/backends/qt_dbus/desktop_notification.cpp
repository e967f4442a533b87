#include "backends/qt_dbus/desktop_notification.hpp"

#include <QDBusMessage>
#include <QDBusReply>
#include <QEventLoop>
#include <QTimer>
#include <QVariantMap>

#include "backends/qt_dbus/session_bus.hpp"

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
// The action's key; "default" is also what a click on the notification takes.
const QString kAction = QStringLiteral("default");
}  // namespace

bool DesktopNotification::Show(const QString& summary, const QString& body, const QString& actionLabel,
                               std::string& why) {
  QDBusConnection bus = SessionBus(why);
  if (!bus.isConnected()) {
    why = "no D-Bus session bus (" + why + ")";
    return false;
  }
  // Listen before asking, so that an action taken at once is not missed.
  bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this, SLOT(ActionInvoked(uint, QString)));
  bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
              SLOT(NotificationClosed(uint, uint)));
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
  // The menu entry's name lets the desktop show the program's own icon and name.
  const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("larkspire-autoupdate")},
                          {QStringLiteral("urgency"), QVariant::fromValue<uchar>(1)}};
  call << QStringLiteral("Larkspire AutoUpdate") << 0u << QStringLiteral("larkspire-autoupdate") << summary << body
       << QStringList{kAction, actionLabel} << hints << -1;
  const QDBusReply<uint> reply = bus.call(call, QDBus::Block, 25000);
  if (!reply.isValid()) {
    why = "the desktop's notification service did not take it: " + reply.error().message().toStdString();
    return false;
  }
  id_ = reply.value();
  return true;
}

bool DesktopNotification::WaitForAction(int waitMs) {
  if (!ended_) {
    QEventLoop loop;
    connect(this, &DesktopNotification::Ended, &loop, &QEventLoop::quit);
    QTimer::singleShot(waitMs, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return acted_;
}

void DesktopNotification::ActionInvoked(uint id, const QString& action) {
  if (id != id_ || ended_) return;
  acted_ = action == kAction;
  ended_ = true;
  emit Ended();
}

void DesktopNotification::NotificationClosed(uint id, uint) {
  if (id != id_ || ended_) return;
  ended_ = true;
  emit Ended();
}
