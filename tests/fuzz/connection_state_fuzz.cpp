// Any text as the kernel's IPv4 and IPv6 routing tables (split at the
// first 0x01 byte), with four interfaces whose states the first byte sets:
// a configured connection goes through an interface that is up, is not the
// loopback and is named in the tables, by modem exactly over the
// point-to-point link; the machine is offline exactly when no interface but
// the loopback is up; and the description has its five lines and agrees.
#include <net/if.h>

#include "backends/linux/connection_state.hpp"
#include "fuzz_input.hpp"
#include "transfer/connection_state.hpp"

void Fuzz(const std::uint8_t* data, std::size_t size, std::string_view input) {
  if (size == 0) return;
  const std::string_view tables = input.substr(1);
  const auto [v4, v6] = Split(tables, '\x01');
  KernelNetState state{.ipv4Routes = v4, .ipv6Routes = v6, .proxyConfigured = bool(data[0] & 0x10), .readable = true};
  const char* names[] = {"eth0", "lo", "ppp0", "wlan0"};  // bit i of the first byte brings names[i] up
  const std::uint32_t kinds[] = {0, IFF_LOOPBACK, IFF_POINTOPOINT, 0};
  for (int i = 0; i < 4; ++i) state.interfaces.push_back({names[i], kinds[i] | ((data[0] >> i) & 1 ? IFF_UP : 0u)});
  const ConnectionFlags c = ComputeConnectionFlags(state);
  const int i = std::find(names, names + 4, c.name) - names;  // 4 when no interface has that name
  // Whether one of eth0, ppp0 and wlan0 is up, and whether the connection's interface is one of them and up.
  const bool anyUp = data[0] & 0b1101, usable = i < 4 && i != 1 && (data[0] >> i) & 1;
  const std::uint32_t via = c.flags & (NetFlags::Modem | NetFlags::Lan), routed = c.flags & NetFlags::Configured;
  Check(c.answered && !(c.flags & NetFlags::Offline) == anyUp &&
        !(c.flags & NetFlags::Proxy) == !state.proxyConfigured && c.name.empty() != anyUp && (c.name.empty() || i < 4));
  Check((!routed && via == 0) || (routed && via == (c.name == "ppp0" ? NetFlags::Modem : NetFlags::Lan) && usable &&
                                  tables.find(c.name) != tables.npos));
  bool configured = false;
  const std::string info = DescribeConnectionFlags(c.flags, &configured);
  Check(configured == bool(routed) && std::count(info.begin(), info.end(), '\n') == 4);
}
