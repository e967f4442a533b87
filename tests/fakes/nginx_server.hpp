#pragma once
// A real nginx on loopback serving a folder, started for a test and
// stopped with it. A marker file .slow in the folder slows every answer
// down, for tests that stop a transfer half-way. It may serve over TLS, and
// may send every request on to another server.
#include <sys/types.h>

#include <string>

struct NginxOptions {
  // Over TLS with this certificate chain and its key (PEM files); "": plain HTTP.
  std::string certificate{}, key{};
  // Answers every request with a redirect to this address and the request's path; "": serves the folder.
  std::string redirect{};
};

class NginxServer {
 public:
  // Serves root on 127.0.0.1 at that port, or a free one for 0. Throws std::runtime_error when nginx cannot start.
  explicit NginxServer(const std::string& root, int port = 0, const NginxOptions& options = {});
  ~NginxServer();
  NginxServer(const NginxServer&) = delete;
  NginxServer& operator=(const NginxServer&) = delete;

  // "127.0.0.1:PORT"
  std::string Host() const { return "127.0.0.1:" + std::to_string(port_); }
  // Serves on at the same port, as options say.
  void Serve(const NginxOptions& options);

 private:
  void Start(int port, const NginxOptions& options);
  void Stop();

  std::string root_;
  std::string prefix_;
  int port_ = 0;
  pid_t pid_ = -1;
};
