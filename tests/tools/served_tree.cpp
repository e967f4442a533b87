#include "served_tree.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "fakes/fake_platform.hpp"
#include "fakes/nginx_server.hpp"

namespace {
std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

int Connect(int port) {
  const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  if (connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(s);
    return -1;
  }
  return s;
}
}  // namespace

ServedTree::ServedTree(const std::string& root) {
  const std::string nginx = NginxServer::Binary();
  if (nginx.empty()) throw std::runtime_error("nginx is not installed");
  char tmpl[] = "/tmp/larkspire-served-XXXXXX";
  if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp failed");
  prefix_ = tmpl;
  port_ = FreeLoopbackPort();
  std::string conf = ReadFileBytes(UPDATE_SERVER_CONF);
  conf = ReplaceAll(ReplaceAll(ReplaceAll(conf, "@PREFIX@", prefix_), "@PORT@", std::to_string(port_)), "@ROOT@", root);
  // The test owns the process: no daemon. As root, workers would drop to an
  // account that cannot read the test's private folders.
  conf = "daemon off;\n" + std::string(geteuid() == 0 ? "user root;\n" : "") + conf;
  WriteFileBytes(prefix_ + "/nginx.conf", conf);

  const std::string log = prefix_ + "/error.log", confPath = prefix_ + "/nginx.conf";
  const pid_t child = fork();
  if (child == 0) {
    execl(nginx.c_str(), nginx.c_str(), "-e", log.c_str(), "-p", prefix_.c_str(), "-c", confPath.c_str(), nullptr);
    _exit(127);
  }
  for (int i = 0; i < 500; ++i) {
    if (const int s = Connect(port_); s >= 0) {
      close(s);
      pid_ = child;
      return;
    }
    if (waitpid(child, nullptr, WNOHANG) == child) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  throw std::runtime_error("nginx did not start: " + ReadFileBytes(log));
}

ServedTree::~ServedTree() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  std::error_code ec;
  std::filesystem::remove_all(prefix_, ec);
}

HttpReply HttpGet(int port, const std::string& path) {
  const int s = Connect(port);
  if (s < 0) throw std::runtime_error("no connection");
  const std::string request = "GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
  if (send(s, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size())) {
    close(s);
    throw std::runtime_error("request not sent");
  }
  std::string reply;
  char buf[65536];
  for (ssize_t n; (n = recv(s, buf, sizeof buf, 0)) > 0;) reply.append(buf, static_cast<std::size_t>(n));
  close(s);
  const std::size_t end = reply.find("\r\n\r\n");
  if (end == std::string::npos || reply.size() < 12) throw std::runtime_error("no reply");
  HttpReply r;
  r.status = std::stoi(reply.substr(9, 3));
  r.headers = reply.substr(0, end);
  r.body = reply.substr(end + 4);
  return r;
}
