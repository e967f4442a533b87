#include "backends/linux/desktop_opener.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <thread>

#include "backends/posix/file_system.hpp"
#include "support/diagnostics.hpp"

extern char** environ;

namespace {
// The attributes and file actions of one spawn, released with it.
class SpawnSettings {
 public:
  SpawnSettings() {
    posix_spawnattr_init(&attr_);
    posix_spawnattr_setflags(&attr_, POSIX_SPAWN_SETSID);
    posix_spawn_file_actions_init(&actions_);
    posix_spawn_file_actions_addopen(&actions_, 0, "/dev/null", O_RDONLY, 0);
  }
  ~SpawnSettings() {
    posix_spawn_file_actions_destroy(&actions_);
    posix_spawnattr_destroy(&attr_);
  }
  SpawnSettings(const SpawnSettings&) = delete;
  SpawnSettings& operator=(const SpawnSettings&) = delete;
  // 0, or the error number of a start that failed.
  int Spawn(pid_t* child, const std::string& program, char* const argv[]) {
    return posix_spawn(child, program.c_str(), &actions_, &attr_, argv, environ);
  }

 private:
  posix_spawnattr_t attr_;
  posix_spawn_file_actions_t actions_;
};

bool Executable(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}
}  // namespace

std::string PosixShell::OpenerPath() {
  if (const char* o = std::getenv("LARKSPIRE_OPENER"); o && *o) {
    if (Executable(o)) return o;
    LogFailure(LogArea::Install,
               std::string("LARKSPIRE_OPENER names ") + o + ", which is not a program that can be run");
    return "";
  }
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path ? path : "/usr/bin:/bin");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    if (dir.empty()) continue;
    const std::string candidate = dir + "/xdg-open";
    if (Executable(candidate)) return candidate;
  }
  LogFailure(LogArea::Install, "xdg-open not found; install xdg-utils");
  return "";
}

bool PosixShell::InstallerPresent() { return !OpenerPath().empty(); }

std::intptr_t PosixShell::ShellExecute(const std::string& operation, const std::string& file,
                                       const std::string& /*parameters*/, const std::string& /*directory*/,
                                       int /*showCommand*/) {
  constexpr std::intptr_t kFileNotFound = 2;
  constexpr std::intptr_t kNoAssociation = 31;
  constexpr std::intptr_t kStarted = 42;
  if (operation != "open") return kNoAssociation;
  std::string path = file;
  if (path.size() >= 2 && path.front() == '"' && path.back() == '"') path = path.substr(1, path.size() - 2);
  const std::string native = PosixFileSystem::ToNative(path);
  struct stat st {};
  if (native.empty() || stat(native.c_str(), &st) != 0) {
    LogFailure(LogArea::Install, "cannot open " + (native.empty() ? path : native) + ": no such file");
    return kFileNotFound;
  }
  const std::string opener = OpenerPath();
  if (opener.empty()) return kNoAssociation;

  // The opener runs in a session of its own, so it outlives the wizard, with
  // its input from /dev/null. It returns once the package's handler has
  // started (xdg-open does), and its exit status tells whether anything
  // could open the package; one that is still running after a few seconds
  // has started what it runs. posix_spawn reports an exec that failed.
  SpawnSettings settings;
  char* const argv[] = {const_cast<char*>(opener.c_str()), const_cast<char*>(native.c_str()), nullptr};
  pid_t child = 0;
  if (const int error = settings.Spawn(&child, opener, argv); error != 0) {
    LogFailure(LogArea::Install, "cannot start " + opener + ": " + std::strerror(error));
    return kNoAssociation;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(openerWaitMs);
  int status = 0;
  pid_t done = 0;
  while ((done = waitpid(child, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (done != child) {
    LogInfo(LogArea::Install, opener + " is still running; the package has been handed over");
    return kStarted;
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    LogFailure(LogArea::Install, opener + " could not open " + native + ": " +
                                     (WIFEXITED(status) ? "exit status " + std::to_string(WEXITSTATUS(status))
                                                        : "ended by signal " + std::to_string(WTERMSIG(status))));
    return kNoAssociation;
  }
  LogInfo(LogArea::Install, "handed " + native + " to " + opener);
  return kStarted;
}
