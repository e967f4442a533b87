#pragma once
// What stops a publication: bad input (nothing has been written) or a
// failure while writing (what was begun has been removed).
#include <stdexcept>
#include <string>

class PublishError : public std::runtime_error {
 public:
  enum Kind { BadInput = 2, WriteFailed = 1 };
  PublishError(Kind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
  // The program's exit status for this error.
  int ExitStatus() const { return kind_; }

 private:
  Kind kind_;
};

// Raises a BadInput error with this message.
[[noreturn]] void BadInput(const std::string& message);
// Raises a WriteFailed error with this message.
[[noreturn]] void WriteFailed(const std::string& message);
