#pragma once
// The Windows claim of the user's only wizard: a named mutex in the user's
// own session (Local\), held for as long as the wizard runs. The system
// lets it go with the process, however the process ends.
#include "backends/win32/handles.hpp"
#include "platform/single_instance.hpp"

class Win32SingleInstance : public ISingleInstance {
 public:
  // Makes or opens the session's mutex. Never raises; a mutex that cannot
  // be had at all is logged, and the wizard runs without one.
  Win32SingleInstance();

  bool HeldElsewhere() const override { return heldElsewhere_; }
  std::string Describe() const override;

 private:
  UniqueKernelHandle mutex_;
  bool heldElsewhere_ = false;
};
