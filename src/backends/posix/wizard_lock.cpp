#include "backends/posix/wizard_lock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "backends/posix/system_calls.hpp"
#include "support/diagnostics.hpp"

namespace {
bool IsFolder(const std::string& path) {
  struct stat st {};
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
}  // namespace

std::string WizardLock::DefaultPath(const std::string& registryPath) {
  if (const std::string runtime = UserFolderPath(UserFolder::Runtime); !runtime.empty())
    return runtime + "/larkspire-autoupdate.lock";
  // No folder is made for the lock: where the registry's folder is missing,
  // nothing is installed for a second wizard to update either.
  const std::size_t slash = registryPath.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : registryPath.substr(0, slash);
  return IsFolder(folder) ? folder + "/autoupdate.lock" : "";
}

WizardLock::WizardLock(const std::string& path) : path_(path) {
  if (path_.empty()) {
    LogInfo(LogArea::Startup, "no folder for the wizard's lock (XDG_RUNTIME_DIR is not set): running without one");
    return;
  }
  // Never followed through a link, and closed in the programs the wizard
  // starts: the installer must not hold the lock after the wizard has gone.
  fd_.Reset(::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
  if (!fd_.Valid()) {
    LogFailure(LogArea::Startup,
               "cannot open the wizard's lock " + path_ + ": " + std::strerror(errno) + "; running without one");
    return;
  }
  while (::flock(fd_.Get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno == EWOULDBLOCK) {
      state_ = State::HeldElsewhere;
    } else {
      LogFailure(LogArea::Startup, "cannot lock " + path_ + ": " + std::strerror(errno) + "; running without it");
    }
    fd_.Reset();
    return;
  }
  state_ = State::Held;
  LogInfo(LogArea::Startup, "holding the wizard's lock " + path_);
}
