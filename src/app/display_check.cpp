#include "app/display_check.hpp"

#include <netdb.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDir>
#include <QLibraryInfo>
#include <cstdlib>
#include <cstring>

#include "backends/posix/unique_fd.hpp"

namespace {
// Connects to a local socket by path; a leading '@' names Linux's abstract
// namespace, where X servers listen too.
bool LocalSocketAnswers(const std::string& path) {
  sockaddr_un address{};
  if (path.size() >= sizeof address.sun_path) return false;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.data(), path.size());
  socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size());
  if (path[0] == '@')
    address.sun_path[0] = '\0';
  else
    ++length;  // the path's terminating NUL
  const UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  return fd.Valid() && connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), length) == 0;
}

bool TcpAnswers(const std::string& host, int port) {
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return false;
  bool answered = false;
  for (addrinfo* a = found; a && !answered; a = a->ai_next) {
    const UniqueFd fd(socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol));
    answered = fd.Valid() && connect(fd.Get(), a->ai_addr, a->ai_addrlen) == 0;
  }
  freeaddrinfo(found);
  return answered;
}

// "[host]:N[.S]": the X server's socket, local or over TCP (port 6000 + N).
std::string X11Problem(const std::string& display) {
  const std::size_t colon = display.rfind(':');
  const std::string host = colon == std::string::npos ? "" : display.substr(0, colon);
  const std::string rest = colon == std::string::npos ? "" : display.substr(colon + 1);
  const std::string number = rest.substr(0, rest.find('.'));
  if (colon == std::string::npos || number.empty() || number.size() > 5 ||
      number.find_first_not_of("0123456789") != std::string::npos)
    return "DISPLAY=" + display + " is not a display name such as :0";
  const bool local = host.empty() || host == "unix";
  const std::string socketPath = "/tmp/.X11-unix/X" + number;
  if (local ? LocalSocketAnswers(socketPath) || LocalSocketAnswers("@" + socketPath)
            : TcpAnswers(host, 6000 + std::atoi(number.c_str())))
    return "";
  return "the X11 display " + display + " cannot be reached" +
         (local ? " (nothing answers at " + socketPath + ")"
                : " (nothing answers at " + host + " port " + std::to_string(6000 + std::atoi(number.c_str())) + ")");
}

bool WaylandPluginInstalled() {
  QStringList folders{QLibraryInfo::path(QLibraryInfo::PluginsPath) + "/platforms"};
  if (const char* extra = std::getenv("QT_QPA_PLATFORM_PLUGIN_PATH"); extra && *extra)
    folders << QString::fromLocal8Bit(extra);
  for (const QString& folder : folders)
    if (!QDir(folder).entryList({"libqwayland*.so"}, QDir::Files).isEmpty()) return true;
  return false;
}

std::string WaylandProblem(const std::string& display) {
  std::string socketPath = display;
  if (display.front() != '/') {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime) return "the Wayland display " + display + " cannot be found: XDG_RUNTIME_DIR is not set";
    socketPath = std::string(runtime) + "/" + display;
  }
  if (!LocalSocketAnswers(socketPath))
    return "the Wayland display " + display + " cannot be reached (nothing answers at " + socketPath + ")";
  if (!WaylandPluginInstalled())
    return "the Wayland display " + display +
           " needs Qt's Wayland plugin, which is not installed (package qt6-wayland)";
  return "";
}
}  // namespace

DisplayChoice ChooseDisplay(bool platformGiven) {
  const char* qpa = std::getenv("QT_QPA_PLATFORM");
  if (platformGiven || (qpa && *qpa)) return {};
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  const char* x11 = std::getenv("DISPLAY");
  const std::string waylandProblem = wayland && *wayland ? WaylandProblem(wayland) : "no WAYLAND_DISPLAY is set";
  const std::string x11Problem = x11 && *x11 ? X11Problem(x11) : "no DISPLAY is set";
  if (waylandProblem.empty()) return {x11Problem.empty() ? "wayland;xcb" : "wayland", ""};
  if (x11Problem.empty()) return {"xcb", ""};
  if (!(wayland && *wayland) && !(x11 && *x11))
    return {"", "no display to open the window on: neither DISPLAY nor WAYLAND_DISPLAY is set"};
  return {"", "no display to open the window on: " + waylandProblem + "; " + x11Problem};
}
