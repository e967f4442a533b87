// The connection state as the Linux backend reads it from the kernel.
#include "backends/linux/connection_state.hpp"

#include <gtest/gtest.h>

namespace {
// The connection flags and name from the kernel's routes; the wizard
// warns "no connection" without Configured (40): a default route through an
// interface that is up and no loopback. Routes as /proc/net/route shows them
// (after its header) and /proc/net/ipv6_route (route flags second last).
TEST(KernelNetStateTest, FlagsFromTheRoutesAndTheInterfaces) {
  const std::string z(32, '0'), v6 = z + " 00 " + z + " 00 " + z + " 00000400 00000001 00000000 ";
  const std::tuple<std::string, std::string, std::vector<NetInterface>, bool, std::uint32_t, std::string> rows[] = {
      // clang-format off
      {"eth0 00000000 0102A8C0 0003 0 0 100 00000000", "", {{"eth0", 0x1003}}, true, 0x56, "eth0"},  // with a proxy and dial-up
      {"ppp0 00000000 00000000 0001 0 0 0 00000000", "", {{"ppp0", 0x10d1}}, false, 0x41, "ppp0"},    // a modem
      {"eth0 00000000 0102A8C0 0003 0 0 100 00000000", "", {{"eth0", 0x1002}, {"wlan0", 0x1003}}, false, 0x0, "wlan0"},  // down
      {"eth0 0002A8C0 00000000 0001 0 0 100 00FFFFFF", "", {{"eth0", 0x1003}}, false, 0x0, "eth0"},    // no default route
      {"eth0 00000000 0102A8C0 0002 0 0 100 00000000", "", {{"eth0", 0x1003}}, false, 0x0, "eth0"},    // a route not up
      {"lo 00000000 00000000 0001 0 0 0 00000000", "", {{"lo", 0x9}}, false, 0x20, ""},                // offline
      {"", v6 + "00000003 eth1", {{"lo", 0x9}, {"eth1", 0x1003}}, false, 0x42, "eth1"},
      {"", v6 + "00200201 eth1", {{"eth1", 0x1003}}, false, 0x0, "eth1"}};                             // a reject route
  // clang-format on
  for (const auto& [ipv4, ipv6, interfaces, extra, flags, name] : rows) {
    const ConnectionFlags c = ComputeConnectionFlags({"header\n" + ipv4, ipv6, interfaces, extra, extra, true});
    EXPECT_EQ(std::pair(c.flags, c.name), std::pair(flags, name)) << ipv4 << ipv6;
  }
  EXPECT_FALSE(ComputeConnectionFlags(KernelNetState{}).answered);  // the tables could not be read
}
}  // namespace
