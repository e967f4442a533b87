// The value of a read service's notification, as the transfer control reads
// it: the local file, or the fetch's failure raised as a run-time error. It
// lives with the transfer control, the one reader of it, since raising the
// error needs the run-time errors that sit above the platform's interfaces.
#include "platform/async_read.hpp"
#include "support/runtime_error.hpp"

std::string AsyncProperty::Value() const {
  if (Failed) throw RuntimeError(ErrorNumber, ErrorDescription);
  return Path;
}
