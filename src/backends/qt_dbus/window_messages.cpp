#include "backends/qt_dbus/window_messages.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>

#include "backends/common/message_id.hpp"
#include "backends/qt_dbus/session_bus.hpp"
#include "support/diagnostics.hpp"

std::uint32_t QtWindowMessages::RegisterWindowMessage(const std::string& name) {
  return name.empty() ? 0 : StableMessageId(name);
}

bool QtWindowMessages::BroadcastNotifyMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
  std::string why;
  QDBusConnection bus = SessionBus(why);
  if (!bus.isConnected()) {
    // Without a session bus (ssh, sudo, a minimal session) no program of
    // the product can be listening: there is nobody to tell.
    LogFailure(LogArea::Broadcast,
               "no D-Bus session bus (" + why + "): no running Larkspire program can be told to close");
    return true;
  }
  QDBusMessage signal = QDBusMessage::createSignal(kBroadcastPath, kBroadcastInterface, kBroadcastMember);
  signal << static_cast<uint>(msg) << static_cast<qulonglong>(wParam) << static_cast<qlonglong>(lParam);
  if (bus.send(signal)) {
    LogInfo(LogArea::Broadcast, "told the running Larkspire programs to close (" + std::string(kBroadcastInterface) +
                                    "." + kBroadcastMember + " on the session bus)");
    return true;
  }
  LogFailure(LogArea::Broadcast, "the broadcast on the session bus failed: " + bus.lastError().message().toStdString());
  return false;
}
