#include "loopback_server.hpp"

#include <gtest/gtest.h>
#include <winsock2.h>

#include <chrono>

namespace {
// However a script ends, a connection is served no longer than this.
constexpr auto kLongestConnection = std::chrono::seconds(15);
}  // namespace

LoopbackServer::LoopbackServer(Script script) : script_(std::move(script)) {
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int size = sizeof address;
  EXPECT_TRUE(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && listen(listener, 8) == 0 &&
              getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) == 0)
      << WSAGetLastError();
  listener_ = listener;
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

LoopbackServer::~LoopbackServer() {
  stopping_ = true;
  thread_.join();
  closesocket(listener_);
  WSACleanup();
}

bool LoopbackServer::Readable(std::uintptr_t socket, int ms) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(socket, &readable);
  timeval wait{0, ms * 1000};
  return select(0, &readable, nullptr, nullptr, &wait) == 1 && !stopping_;
}

void LoopbackServer::Serve() {
  while (!stopping_) {
    if (!Readable(listener_, 20)) continue;
    const SOCKET connection = accept(listener_, nullptr, nullptr);
    if (connection == INVALID_SOCKET) continue;
    Answer(connection);
    closesocket(connection);
  }
}

void LoopbackServer::Answer(std::uintptr_t connection) {
  const auto until = std::chrono::steady_clock::now() + kLongestConnection;
  const auto live = [&] { return !stopping_ && std::chrono::steady_clock::now() < until; };
  std::string head;
  char buffer[4096];
  while (head.find("\r\n\r\n") == std::string::npos && live()) {
    if (!Readable(connection, 20)) continue;
    const int got = recv(connection, buffer, sizeof buffer, 0);
    if (got <= 0) return;
    head.append(buffer, static_cast<std::size_t>(got));
  }
  const std::string answer = script_.answer(head);
  for (std::size_t sent = 0; sent < answer.size();) {
    const int n = send(connection, answer.data() + sent, static_cast<int>(answer.size() - sent), 0);
    if (n <= 0) return;
    sent += static_cast<std::size_t>(n);
  }
  if (!script_.trickle) return (void)shutdown(connection, SD_SEND);
  // Until the client goes: a readable socket that gives nothing has closed.
  while (live()) {
    if (Readable(connection, 20) && recv(connection, buffer, sizeof buffer, 0) <= 0) return;
    if (*script_.trickle && send(connection, script_.trickle, static_cast<int>(strlen(script_.trickle)), 0) <= 0)
      return;
  }
}
