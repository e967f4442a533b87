#pragma once
// The user's session bus, for the broadcast and the desktop's notifications.
#include <QDBusConnection>
#include <string>

// The session bus named by DBUS_SESSION_BUS_ADDRESS, or the one a desktop
// session keeps at $XDG_RUNTIME_DIR/bus; a connection that is not
// connected, with why, when there is none. Never raises.
QDBusConnection SessionBus(std::string& why);
