#pragma once
#include <cstdint>

#include "platform/event_loop.hpp"

// The Qt event loop and the application's override cursor.
class QtEventLoop : public IEventLoop {
 public:
  void DoEvents() override;
  void Sleep(std::uint32_t milliseconds) override;
  void SetBusyPointer(bool busy) override;

 private:
  bool busy_ = false;
};
