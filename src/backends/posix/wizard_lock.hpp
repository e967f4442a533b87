#pragma once
// The Linux claim of the user's only wizard: an advisory lock on a file of
// the user's own, held for as long as the wizard runs.
#include <string>

#include "backends/posix/unique_fd.hpp"
#include "platform/single_instance.hpp"

class WizardLock : public ISingleInstance {
 public:
  enum class State {
    Held,           // this wizard is the only one
    HeldElsewhere,  // another wizard holds the lock
    Unlocked        // no lock could be had (no folder for it); the wizard runs without one
  };

  // Tries to take the lock on the file at path, made when missing ("" for
  // none); kept until the holder goes. Never raises; the log says why a lock
  // could not be had at all.
  explicit WizardLock(const std::string& path);

  State Status() const { return state_; }
  const std::string& Path() const { return path_; }
  bool HeldElsewhere() const override { return state_ == State::HeldElsewhere; }
  std::string Describe() const override { return "the lock " + path_; }

  // $XDG_RUNTIME_DIR/larkspire-autoupdate.lock, the user's own folder for
  // such files; without it, beside the registry file when its folder
  // exists, or "".
  static std::string DefaultPath(const std::string& registryPath);

 private:
  std::string path_;
  UniqueFd fd_;
  State state_ = State::Unlocked;
};
