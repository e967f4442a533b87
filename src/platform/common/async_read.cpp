#include "platform/async_read.hpp"

#include "support/runtime_error.hpp"

std::string AsyncProperty::Value() const {
  if (Failed) throw RuntimeError(ErrorNumber, ErrorDescription);
  return Path;
}
