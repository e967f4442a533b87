#pragma once
// The Internet connection flags from the kernel's network state: a default
// route through an interface that is up means a configured connection,
// through a point-to-point link a modem, otherwise a local network; a proxy
// when the fetches from the update server go through one (proxy_env.hpp);
// offline when no interface but loopback is up. The kernel's tables are
// read through this seam so that known tables can be fed in.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/connection.hpp"

struct NetInterface {
  std::string name;
  std::uint32_t flags = 0;  // IFF_* bits as /sys/class/net/NAME/flags shows them
};

struct KernelNetState {
  std::string ipv4Routes;  // the text of /proc/net/route
  std::string ipv6Routes;  // the text of /proc/net/ipv6_route
  std::vector<NetInterface> interfaces;
  bool proxyConfigured = false;  // the update server is fetched through a proxy
  bool dialUpInstalled = false;
  bool readable = false;  // false when the tables could not be read at all
};

struct ConnectionFlags {
  bool answered = false;
  std::uint32_t flags = 0;
  std::string name;
};

ConnectionFlags ComputeConnectionFlags(const KernelNetState& state);

// Reads the tables under root ("/" on a real system); proxyConfigured is
// the proxy the read service would use for a fetch from updateHost.
KernelNetState ReadKernelNetState(const std::string& updateHost, const std::string& root = "/");

class PosixConnectionService : public IConnectionService {
 public:
  // updateHost: the server whose fetches the proxy flag speaks of.
  explicit PosixConnectionService(std::string updateHost = LARKSPIRE_UPDATE_HOST)
      : updateHost_(std::move(updateHost)) {}
  bool InternetGetConnectedStateEx(std::uint32_t* flags, char* name, std::uint32_t nameLength,
                                   std::uint32_t reserved) override;

 private:
  std::string updateHost_;
};
