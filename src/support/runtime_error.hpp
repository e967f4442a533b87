#pragma once
// A run-time error as the program reports it: a number and a description,
// like the platform's error object. Procedures that trap errors catch this
// type at their own boundary.
#include <cstdint>
#include <stdexcept>
#include <string>

class RuntimeError : public std::runtime_error {
 public:
  RuntimeError(std::int32_t number, std::string description)
      : std::runtime_error(description), number_(number), description_(std::move(description)) {}

  std::int32_t Number() const noexcept { return number_; }
  const std::string& Description() const noexcept { return description_; }

 private:
  std::int32_t number_;
  std::string description_;
};

// The error numbers the program raises or tests for.
namespace ErrNo {
constexpr std::int32_t InvalidArgument = 5;  // "Invalid procedure call or argument"
constexpr std::int32_t Overflow = 6;
constexpr std::int32_t SubscriptOutOfRange = 9;
constexpr std::int32_t TypeMismatch = 13;
constexpr std::int32_t FileNotFound = 53;
constexpr std::int32_t FileAlreadyOpen = 55;
constexpr std::int32_t FileAlreadyExists = 58;
constexpr std::int32_t DiskFull = 61;
constexpr std::int32_t PermissionDenied = 70;
constexpr std::int32_t PathFileAccess = 75;
constexpr std::int32_t PathNotFound = 76;
}  // namespace ErrNo

// Turns any exception into the run-time error an error trap reports.
RuntimeError AsRuntimeError(const std::exception& e);

// Raises the standard error for a number with its usual description.
[[noreturn]] void RaiseError(std::int32_t number);
// The usual description of a standard error number ("" for unknown numbers).
std::string ErrorDescription(std::int32_t number);
