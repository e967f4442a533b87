#pragma once
// A published tree served by nginx on loopback with the repository's own
// update-server configuration, and plain HTTP fetches from it.
#include <sys/types.h>

#include <string>

class ServedTree {
 public:
  // Serves root on a free loopback port. Throws std::runtime_error when
  // nginx cannot start.
  explicit ServedTree(const std::string& root);
  ~ServedTree();
  ServedTree(const ServedTree&) = delete;
  ServedTree& operator=(const ServedTree&) = delete;

  int Port() const { return port_; }

 private:
  std::string prefix_;
  int port_ = 0;
  pid_t pid_ = -1;
};

struct HttpReply {
  int status = 0;
  std::string headers;
  std::string body;
};

// GET of path from 127.0.0.1:port over HTTP/1.0. Throws std::runtime_error
// when there is no reply.
HttpReply HttpGet(int port, const std::string& path);
