#pragma once
// One wizard at a time for each user: the first one started holds a claim
// for as long as it runs, and a second one finds it taken and leaves. Two
// wizards would otherwise both download the package and both start the
// installer. The quiet check takes the same claim, so it never runs beside
// a wizard.
#include <string>

class ISingleInstance {
 public:
  virtual ~ISingleInstance() = default;
  // True when another wizard (or check) of this user holds the claim. A
  // claim that could not be made at all does not stop this one. Never raises.
  virtual bool HeldElsewhere() const = 0;
  // What holds the claim, for the log.
  virtual std::string Describe() const = 0;
};
