#pragma once
#include "platform/clock.hpp"

// Local time of day, in seconds since midnight with fractions.
class PosixClock : public IClock {
 public:
  double Timer() override;
};
