#pragma once
// A real nginx on loopback serving a folder, started for a test and
// stopped with it. Port 0 picks a free port.
#include <sys/types.h>

#include <string>

class NginxServer {
 public:
  // Serves root on 127.0.0.1. Throws std::runtime_error when nginx cannot start.
  explicit NginxServer(const std::string& root, int port = 0);
  ~NginxServer();
  NginxServer(const NginxServer&) = delete;
  NginxServer& operator=(const NginxServer&) = delete;

  int Port() const { return port_; }
  // "127.0.0.1:PORT"
  std::string Host() const { return "127.0.0.1:" + std::to_string(port_); }
  void Stop();

  // Whether an nginx binary is available.
  static std::string Binary();

 private:
  std::string prefix_;
  int port_ = 0;
  pid_t pid_ = -1;
  pid_t group_ = -1;
};

// A free TCP port on loopback (nothing listens on it when this returns).
int FreeLoopbackPort();
