#pragma once
// The clock of the transfer figures on the system's local time.
#include "platform/clock.hpp"

class Win32Clock : public IClock {
 public:
  double Timer() override;
};
