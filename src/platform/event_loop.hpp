#pragma once
// The window system's event loop and pointer, as the program's procedures
// use them.
#include <cstdint>

class IEventLoop {
 public:
  virtual ~IEventLoop() = default;
  // Runs the window events that are waiting, then returns (DoEvents).
  virtual void DoEvents() = 0;
  // Blocks the user-interface thread (Sleep).
  virtual void Sleep(std::uint32_t milliseconds) = 0;
  // The hourglass pointer over the program's windows, or the default one.
  virtual void SetBusyPointer(bool busy) = 0;
};
