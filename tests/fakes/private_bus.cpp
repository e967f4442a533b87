#include "private_bus.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

PrivateSessionBus::PrivateSessionBus() {
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
  pid_ = fork();
  if (pid_ == 0) {
    close(fds[0]);
    // The bus ends with the test program, however that ends, and keeps off its output.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (const int devnull = open("/dev/null", O_RDWR); devnull >= 0) {
      dup2(devnull, 0);
      dup2(devnull, 1);
      dup2(devnull, 2);
    }
    const std::string fd = "--print-address=" + std::to_string(fds[1]);
    execlp("dbus-daemon", "dbus-daemon", "--session", "--nofork", "--nopidfile", fd.c_str(), nullptr);
    _exit(127);
  }
  close(fds[1]);
  char buf[512];
  std::string line;
  ssize_t n;
  while (line.find('\n') == std::string::npos && (n = read(fds[0], buf, sizeof buf)) > 0) line.append(buf, n);
  close(fds[0]);
  if (line.find('\n') == std::string::npos) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
    throw std::runtime_error("dbus-daemon did not start");
  }
  address_ = line.substr(0, line.find('\n'));
  if (const char* old = std::getenv("DBUS_SESSION_BUS_ADDRESS")) {
    hadPrevious_ = true;
    previous_ = old;
  }
  setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), 1);
}

PrivateSessionBus::~PrivateSessionBus() {
  if (hadPrevious_)
    setenv("DBUS_SESSION_BUS_ADDRESS", previous_.c_str(), 1);
  else
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
}
