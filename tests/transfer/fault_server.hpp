#pragma once
// A small HTTP server on 127.0.0.1 that answers each connection with a
// script: a status, a body cut short, a trickle, a stall, a redirect. It
// serves one connection at a time on its own thread and stops by itself
// after a bounded life, so a test that goes wrong never hangs on it.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class FaultServer {
 public:
  // One accepted connection, its request head already read.
  class Connection {
   public:
    Connection(int fd, std::string head, const std::atomic<bool>& stopping)
        : fd_(fd), head_(std::move(head)), stopping_(stopping) {}
    const std::string& Head() const { return head_; }
    // The request's path ("/a/b").
    std::string Path() const {
      const std::size_t a = head_.find(' ');
      const std::size_t b = head_.find(' ', a + 1);
      return a == std::string::npos || b == std::string::npos ? "" : head_.substr(a + 1, b - a - 1);
    }
    // Writes all of bytes; false once the client has gone.
    bool Send(std::string_view bytes) {
      while (!bytes.empty()) {
        const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
      }
      return true;
    }
    // Holds the connection open, sending nothing, until the client closes
    // it or the server stops; true when the client closed it.
    bool HoldUntilClientCloses() {
      while (!stopping_) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 20) > 0) {
          char c;
          if (::recv(fd_, &c, 1, 0) <= 0) return true;
        }
      }
      return false;
    }
    bool Stopping() const { return stopping_; }

   private:
    int fd_;
    std::string head_;
    const std::atomic<bool>& stopping_;
  };
  using Script = std::function<void(Connection&)>;

  explicit FaultServer(Script script, std::chrono::seconds life = std::chrono::seconds(30))
      : script_(std::move(script)) {
    listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (listen_ < 0 || ::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listen_, 8) != 0 ||
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
      if (listen_ >= 0) ::close(listen_);
      throw std::runtime_error("the fault server cannot listen");
    }
    port_ = ntohs(a.sin_port);
    const auto deadline = std::chrono::steady_clock::now() + life;
    thread_ = std::thread([this, deadline] { Run(deadline); });
  }

  ~FaultServer() {
    stopping_ = true;
    thread_.join();
    ::close(listen_);
  }

  FaultServer(const FaultServer&) = delete;
  FaultServer& operator=(const FaultServer&) = delete;

  std::string Host() const { return "127.0.0.1:" + std::to_string(port_); }
  std::string Url(const std::string& path) const { return "http://" + Host() + path; }

  // The request heads received so far.
  std::vector<std::string> Heads() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return heads_;
  }
  // How many connections the script has finished with.
  int Served() const { return served_; }

  // A whole response with a status line, a length and a body.
  static std::string Response(const std::string& status, const std::string& body, const std::string& headers = "") {
    return "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n" +
           headers + "\r\n" + body;
  }

 private:
  void Run(std::chrono::steady_clock::time_point deadline) {
    while (!stopping_ && std::chrono::steady_clock::now() < deadline) {
      pollfd p{listen_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      std::string head;
      if (ReadHead(fd, &head, deadline)) {
        {
          std::lock_guard<std::mutex> lock(mutex_);
          heads_.push_back(head);
        }
        Connection c(fd, head, stopping_);
        script_(c);
      }
      Linger(fd);
      ::close(fd);
      ++served_;
    }
    stopping_ = true;
  }

  // Ends the answer and waits (briefly) for the client to close its side,
  // so that the answer is never lost to a reset of the connection.
  void Linger(int fd) {
    ::shutdown(fd, SHUT_WR);
    char buffer[4096];
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!stopping_ && std::chrono::steady_clock::now() < until) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      if (::recv(fd, buffer, sizeof buffer, 0) <= 0) return;
    }
  }

  bool ReadHead(int fd, std::string* head, std::chrono::steady_clock::time_point deadline) {
    char buffer[4096];
    while (head->find("\r\n\r\n") == std::string::npos) {
      if (stopping_ || std::chrono::steady_clock::now() > deadline || head->size() > 65536) return false;
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0) return false;
      head->append(buffer, static_cast<std::size_t>(n));
    }
    return true;
  }

  Script script_;
  int listen_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> served_{0};
  mutable std::mutex mutex_;
  std::vector<std::string> heads_;
  std::thread thread_;
};
