// Whether the kernel's routes and interfaces make a configured Internet
// connection (the wizard warns without one; the failure table of the
// download controller covers the service's answer).
#include <gtest/gtest.h>

#include "platform/posix/net_state.hpp"

namespace {
// A default route through an interface that is up and not loopback is a
// configured connection. Routes: /proc/net/route (after its header line)
// and /proc/net/ipv6_route, whose route flags are the second last field.
TEST(KernelNetStateTest, ConfiguredByADefaultRouteThroughAnInterfaceThatIsUp) {
  const std::string v6 = std::string(32, '0') + " 00 " + std::string(32, '0') + " 00 fe80" + std::string(28, '0') +
                         " 00000400 00000001 00000000 ";
  const struct {
    const char* ipv4;  // iface destination gateway flags refcnt use metric mask
    std::string ipv6;
    std::vector<NetInterface> interfaces;
    bool configured;
  } rows[] = {{"eth0 00000000 0102A8C0 0003 0 0 100 00000000", "", {{"eth0", 0x1003}}, true},
              {"ppp0 00000000 00000000 0001 0 0 0 00000000", "", {{"ppp0", 0x10d1}}, true},  // a modem
              {"eth0 00000000 0102A8C0 0003 0 0 100 00000000", "", {{"eth0", 0x1002}, {"wlan0", 0x1003}}, false},
              {"eth0 0002A8C0 00000000 0001 0 0 100 00FFFFFF", "", {{"eth0", 0x1003}}, false},
              {"eth0 00000000 0102A8C0 0002 0 0 100 00000000", "", {{"eth0", 0x1003}}, false},
              {"lo 00000000 00000000 0001 0 0 0 00000000", "", {{"lo", 0x9}}, false},
              {"", v6 + "00000003 eth1", {{"lo", 0x9}, {"eth1", 0x1003}}, true},
              {"", v6 + "00200201 eth1", {{"eth1", 0x1003}}, false}};  // a reject route
  for (const auto& r : rows) {
    const ConnectionFlags c = ComputeConnectionFlags({"header\n" + std::string(r.ipv4), r.ipv6, r.interfaces, 0, 0, 1});
    EXPECT_TRUE(c.answered);
    EXPECT_EQ((c.flags & NetFlags::Configured) != 0, r.configured) << r.ipv4 << r.ipv6;
  }
  EXPECT_FALSE(ComputeConnectionFlags(KernelNetState{}).answered);  // the tables could not be read
}
}  // namespace
