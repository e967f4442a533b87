#include "platform/posix/net_state.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/posix/posix_services.hpp"
#include "platform/posix/proxy_env.hpp"
#include "support/diagnostics.hpp"

extern char** environ;

namespace {
constexpr std::uint32_t kIffUp = 0x1;
constexpr std::uint32_t kIffLoopback = 0x8;
constexpr std::uint32_t kIffPointToPoint = 0x10;

const NetInterface* FindInterface(const KernelNetState& s, const std::string& name) {
  for (const auto& i : s.interfaces)
    if (i.name == name) return &i;
  return nullptr;
}

// Interfaces that carry a default route, IPv4 first.
std::vector<std::string> DefaultRouteInterfaces(const KernelNetState& s) {
  std::vector<std::string> out;
  std::istringstream v4(s.ipv4Routes);
  std::string line;
  std::getline(v4, line);  // header
  while (std::getline(v4, line)) {
    std::istringstream f(line);
    std::string iface, dest, gateway, flags, refcnt, use, metric, mask;
    if (!(f >> iface >> dest >> gateway >> flags >> refcnt >> use >> metric >> mask)) continue;
    const unsigned long fl = std::strtoul(flags.c_str(), nullptr, 16);
    if (dest == "00000000" && mask == "00000000" && (fl & 0x1)) out.push_back(iface);
  }
  std::istringstream v6(s.ipv6Routes);
  while (std::getline(v6, line)) {
    std::istringstream f(line);
    std::string dest, prefix, src, srcPrefix, next, metric, refcnt, use, flags, iface;
    if (!(f >> dest >> prefix >> src >> srcPrefix >> next >> metric >> refcnt >> use >> flags >> iface)) continue;
    const unsigned long fl = std::strtoul(flags.c_str(), nullptr, 16);
    // A reject route (RTF_REJECT) is no way out.
    if (dest == std::string(32, '0') && prefix == "00" && (fl & 0x1) && !(fl & 0x200) && iface != "lo")
      out.push_back(iface);
  }
  return out;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool Executable(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}
}  // namespace

ConnectionFlags ComputeConnectionFlags(const KernelNetState& state) {
  ConnectionFlags out;
  if (!state.readable) return out;
  out.answered = true;
  for (const std::string& name : DefaultRouteInterfaces(state)) {
    const NetInterface* i = FindInterface(state, name);
    if (!i || !(i->flags & kIffUp) || (i->flags & kIffLoopback)) continue;
    out.flags |= NetFlags::Configured | ((i->flags & kIffPointToPoint) ? NetFlags::Modem : NetFlags::Lan);
    out.name = name;
    break;
  }
  bool anyUp = false;
  for (const auto& i : state.interfaces) {
    if ((i.flags & kIffUp) && !(i.flags & kIffLoopback)) {
      anyUp = true;
      if (out.name.empty()) out.name = i.name;
    }
  }
  if (!anyUp) out.flags |= NetFlags::Offline;
  if (state.proxyConfigured) out.flags |= NetFlags::Proxy;
  if (state.dialUpInstalled) out.flags |= NetFlags::RasInstalled;
  return out;
}

KernelNetState ReadKernelNetState(const std::string& updateHost, const std::string& root) {
  KernelNetState s;
  const std::string base = root == "/" ? "" : root;
  s.ipv4Routes = ReadText(base + "/proc/net/route");
  s.ipv6Routes = ReadText(base + "/proc/net/ipv6_route");
  if (DIR* d = opendir((base + "/sys/class/net").c_str())) {
    while (dirent* e = readdir(d)) {
      if (e->d_name[0] == '.') continue;
      NetInterface i;
      i.name = e->d_name;
      i.flags = static_cast<std::uint32_t>(
          std::strtoul(ReadText(base + "/sys/class/net/" + i.name + "/flags").c_str(), nullptr, 16));
      s.interfaces.push_back(i);
    }
    closedir(d);
  }
  s.readable = !s.ipv4Routes.empty() || !s.interfaces.empty();
  s.proxyConfigured = !HttpProxyFor(updateHost).empty();
  s.dialUpInstalled = Executable(base + "/usr/sbin/pppd");
  return s;
}

bool PosixConnectionService::InternetGetConnectedStateEx(std::uint32_t* flags, char* name, std::uint32_t nameLength,
                                                         std::uint32_t) {
  const ConnectionFlags c = ComputeConnectionFlags(ReadKernelNetState(updateHost_));
  if (!c.answered) return false;
  if (flags) *flags = c.flags;
  if (name && nameLength) {
    const std::size_t n = std::min<std::size_t>(c.name.size(), nameLength - 1);
    std::memcpy(name, c.name.data(), n);
    name[n] = '\0';
  }
  return true;
}

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

  // The opener runs in a session of its own, so it outlives the wizard. It
  // returns once the package's handler has started (xdg-open does), and its
  // exit status tells whether anything could open the package; one that is
  // still running after a few seconds has started what it runs. A
  // close-on-exec pipe carries the error of an exec that failed.
  int pipefd[2];
  if (pipe2(pipefd, O_CLOEXEC) != 0) return kNoAssociation;
  char* const argv[] = {const_cast<char*>(opener.c_str()), const_cast<char*>(native.c_str()), nullptr};
  const pid_t child = fork();
  if (child < 0) {
    LogFailure(LogArea::Install, std::string("cannot start ") + opener + ": " + std::strerror(errno));
    close(pipefd[0]);
    close(pipefd[1]);
    return kNoAssociation;
  }
  if (child == 0) {
    setsid();
    if (const int devnull = open("/dev/null", O_RDONLY); devnull >= 0) dup2(devnull, 0);
    execve(opener.c_str(), argv, environ);
    const int error = errno;
    (void)!write(pipefd[1], &error, sizeof error);
    _exit(127);
  }
  close(pipefd[1]);
  int execError = 0;
  ssize_t n;
  do {
    n = read(pipefd[0], &execError, sizeof execError);
  } while (n < 0 && errno == EINTR);
  close(pipefd[0]);
  if (n > 0) {
    waitpid(child, nullptr, 0);
    LogFailure(LogArea::Install, "cannot start " + opener + ": " + std::strerror(execError));
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
