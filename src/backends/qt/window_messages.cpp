#include "backends/qt/window_messages.hpp"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>

#include "backends/posix/message_id.hpp"
#include "support/diagnostics.hpp"

std::uint32_t QtWindowMessages::RegisterWindowMessage(const std::string& name) {
  return name.empty() ? 0 : StableMessageId(name);
}

bool QtWindowMessages::BroadcastNotifyMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    // Without a session bus (ssh, sudo, a minimal session) no program of
    // the product can be listening: there is nobody to tell.
    LogFailure(LogArea::Broadcast, "no D-Bus session bus (" + bus.lastError().message().toStdString() +
                                       "): no running Larkspire program can be told to close");
    return true;
  }
  QDBusMessage signal = QDBusMessage::createSignal(kBroadcastPath, kBroadcastInterface, kBroadcastMember);
  signal << static_cast<uint>(msg) << static_cast<qulonglong>(wParam) << static_cast<qlonglong>(lParam);
  if (bus.send(signal)) return true;
  LogFailure(LogArea::Broadcast, "the broadcast on the session bus failed: " + bus.lastError().message().toStdString());
  return false;
}
