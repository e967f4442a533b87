// The catch-all report of unexpected run-time errors.
#include "support/error_reporting.hpp"

#include "support/app_texts.hpp"
#include "support/diagnostics.hpp"

void ErrorReporter::HandleUnexpectedError(const std::string& sModule, const RuntimeError& error) {
  // Nothing in here may fail visibly: every step is guarded on its own.
  try {
    events_.SetBusyPointer(false);
  } catch (...) {
  }
  LogFailure(LogArea::Startup, "unexpected error " + std::to_string(error.Number()) + " in module h" + sModule + ": " +
                                   error.Description());
  const std::string support = LARKSPIRE_SUPPORT_ADDRESS;
  std::string MessageText;
  try {
    if (ErrorCount > 3) {
      MessageText = std::string("Too many errors, quitting application.") + CRLF + "Please contact " + support;
      messageBox_.MsgBox(MessageText, Mb::Critical | Mb::OkOnly, ErrorTitle);
      process_.EndProgram(ExitStatus::ErrorQuit);
      return;
    }
    MessageText = std::string("An unexpected error has occurred.") + CRLF + CRLF + "The error number is " +
                  std::to_string(error.Number()) + CRLF + "The string describing this error is:" + CRLF + "\"" +
                  error.Description() + "\"" + CRLF + "The error occurred in Module h" + sModule + CRLF + CRLF +
                  "Please contact " + support + ". Resuming" + CRLF +
                  "program execution may have unpredictable results." + CRLF + "Do you want to attemp to continue?";
  } catch (const std::exception&) {
  }
  int answer = Mb::No;
  try {
    answer = messageBox_.MsgBox(MessageText, Mb::Critical | Mb::YesNo, ErrorTitle);
  } catch (const std::exception&) {
  }
  if (answer != Mb::Yes) {
    process_.EndProgram(ExitStatus::ErrorQuit);
    return;
  }
  ++ErrorCount;
}
