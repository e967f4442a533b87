#include "backends/win32/clock.hpp"

#include "backends/win32/prelude.hpp"

double Win32Clock::Timer() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return now.wHour * 3600.0 + now.wMinute * 60.0 + now.wSecond + now.wMilliseconds / 1000.0;
}
