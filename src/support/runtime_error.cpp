#include "support/runtime_error.hpp"

#include <new>

std::string ErrorDescription(std::int32_t number) {
  switch (number) {
    case ErrNo::InvalidArgument:
      return "Invalid procedure call or argument";
    case ErrNo::Overflow:
      return "Overflow";
    case ErrNo::SubscriptOutOfRange:
      return "Subscript out of range";
    case ErrNo::TypeMismatch:
      return "Type mismatch";
    case ErrNo::FileNotFound:
      return "File not found";
    case ErrNo::FileAlreadyOpen:
      return "File already open";
    case ErrNo::FileAlreadyExists:
      return "File already exists";
    case ErrNo::DiskFull:
      return "Disk full";
    case ErrNo::PermissionDenied:
      return "Permission denied";
    case ErrNo::PathFileAccess:
      return "Path/File access error";
    case ErrNo::PathNotFound:
      return "Path not found";
    default:
      return "";
  }
}

void RaiseError(std::int32_t number) { throw RuntimeError(number, ErrorDescription(number)); }

RuntimeError AsRuntimeError(const std::exception& e) {
  if (const auto* r = dynamic_cast<const RuntimeError*>(&e)) return *r;
  if (dynamic_cast<const std::bad_alloc*>(&e)) return RuntimeError(7, "Out of memory");
  return RuntimeError(51, std::string("Internal error: ") + e.what());
}
