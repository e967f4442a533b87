#pragma once
// The report of unexpected run-time errors: the user may go on or quit, and
// the program quits by itself after too many.
#include <cstdint>
#include <string>

#include "platform/event_loop.hpp"
#include "platform/message_box.hpp"
#include "platform/process_control.hpp"
#include "support/runtime_error.hpp"

// The module codes that name where an unexpected error was caught: start-up
// and the transfer's progress handler.
inline constexpr const char* ModuleStartup = "0002";
inline constexpr const char* ModuleProgress = "0008";

class ErrorReporter {
 public:
  ErrorReporter(IMessageBox& messageBox, IProcessControl& process, IEventLoop& events)
      : messageBox_(messageBox), process_(process), events_(events) {}

  // Reports an unexpected run-time error caught in module sModule; asks
  // whether to go on and ends the program on No or at the fifth error.
  // Never raises (ending the program unwinds where ending is simulated).
  void HandleUnexpectedError(const std::string& sModule, const RuntimeError& error);

  // The errors the user chose to go on after.
  std::int16_t ErrorCount = 0;

 private:
  IMessageBox& messageBox_;
  IProcessControl& process_;
  IEventLoop& events_;
};
