#pragma once
// The Windows program's message loop pieces: DoEvents as a PeekMessage
// loop, Sleep, and the hourglass.
#include <cstdint>

#include "backends/win32/prelude.hpp"
#include "platform/event_loop.hpp"

// Hands one message on: keyboard messages through the dialog handling of
// the window they belong to (Tab, access keys, Enter, Escape), the rest to
// their window.
void DispatchWindowMessage(MSG& message);

// Whether the hourglass is to show over the program's windows.
bool BusyPointerShown();

class Win32EventLoop : public IEventLoop {
 public:
  // Runs the messages that are waiting. A request to quit is left in the
  // queue for the program's own loop.
  void DoEvents() override;
  void Sleep(std::uint32_t milliseconds) override { ::Sleep(milliseconds); }
  void SetBusyPointer(bool busy) override;
};
