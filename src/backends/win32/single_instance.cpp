#include "backends/win32/single_instance.hpp"

#include <string>

#include "support/diagnostics.hpp"

namespace {
constexpr wchar_t kName[] = L"Local\\LarkspireAutoUpdate";
}

Win32SingleInstance::Win32SingleInstance() : mutex_(CreateMutexW(nullptr, FALSE, kName)) {
  // The error is read at once: the handle's owner calls nothing meanwhile.
  const DWORD error = GetLastError();
  if (!mutex_.Valid()) {
    LogFailure(LogArea::Startup, "cannot make the session's mutex " + Describe() + " (error " + std::to_string(error) +
                                     "); running without one");
    return;
  }
  heldElsewhere_ = error == ERROR_ALREADY_EXISTS;
}

std::string Win32SingleInstance::Describe() const { return "the session's mutex Local\\LarkspireAutoUpdate"; }
