#pragma once
// A private D-Bus session bus for a test program, so broadcasts never reach
// the developer's own desktop. Sets DBUS_SESSION_BUS_ADDRESS while it lives.
#include <sys/types.h>

#include <string>

class PrivateSessionBus {
 public:
  PrivateSessionBus();  // throws std::runtime_error when dbus-daemon cannot start
  ~PrivateSessionBus();
  PrivateSessionBus(const PrivateSessionBus&) = delete;
  PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;
  const std::string& Address() const { return address_; }

 private:
  pid_t pid_ = -1;
  std::string address_;
  std::string previous_;
  bool hadPrevious_ = false;
};
