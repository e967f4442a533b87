#pragma once
// The clock the transfer figures are measured by.

class IClock {
 public:
  virtual ~IClock() = default;
  // Seconds since midnight, with fractions.
  virtual double Timer() = 0;
};
