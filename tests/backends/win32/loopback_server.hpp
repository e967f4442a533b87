#pragma once
// A small scripted HTTP server on 127.0.0.1 for the read service's tests,
// on Winsock, serving one connection at a time on a thread of its own.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "backends/read_service_rows.hpp"

// Plays a row's script: a trickle goes on until the client goes or the
// server stops.
class LoopbackServer {
 public:
  // Listens on a free port of 127.0.0.1. Fails the test when it cannot.
  explicit LoopbackServer(Script script);
  // Stops serving, within a few dozen milliseconds.
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  int Port() const { return port_; }

 private:
  void Serve();
  void Answer(std::uintptr_t connection);
  // Waits at most ms for the socket to become readable; false once stopping.
  bool Readable(std::uintptr_t socket, int ms);

  Script script_;
  std::uintptr_t listener_;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};
