// Any text as the kernel's IPv4 and IPv6 routing tables (split at the
// first 0x01 byte), with four interfaces whose states the first byte sets:
// a configured connection goes through an interface that is up, is not the
// loopback and is named in the tables, by modem exactly over the
// point-to-point link; the machine is offline exactly when no interface but
// the loopback is up; and the description has its five lines and agrees.
#include <net/if.h>

#include <algorithm>
#include <cstdlib>

#include "backends/linux/connection_state.hpp"
#include "transfer/connection_state.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::size_t cut = text.find('\x01');
  KernelNetState state;
  state.ipv4Routes = text.substr(0, cut);
  state.ipv6Routes = cut == std::string::npos ? "" : text.substr(cut + 1);
  const std::uint32_t kinds[] = {0, IFF_LOOPBACK, IFF_POINTOPOINT, 0};
  const char* names[] = {"eth0", "lo", "ppp0", "wlan0"};
  for (int i = 0; i < 4; ++i) state.interfaces.push_back({names[i], kinds[i] | ((data[0] >> i) & 1 ? IFF_UP : 0u)});
  state.readable = true;
  state.proxyConfigured = data[0] & 0x10;
  const ConnectionFlags c = ComputeConnectionFlags(state);
  const auto it = std::find_if(state.interfaces.begin(), state.interfaces.end(),
                               [&](const NetInterface& i) { return i.name == c.name; });
  const bool anyUp = std::any_of(state.interfaces.begin(), state.interfaces.end(),
                                 [](const NetInterface& i) { return (i.flags & IFF_UP) && !(i.flags & IFF_LOOPBACK); });
  const bool viaModem = c.flags & NetFlags::Modem, viaLan = c.flags & NetFlags::Lan;
  if (!c.answered || !(c.flags & NetFlags::Offline) != anyUp ||
      !(c.flags & NetFlags::Proxy) != !state.proxyConfigured || (c.name.empty() == anyUp) ||
      (!c.name.empty() && it == state.interfaces.end()))
    std::abort();
  const bool routed = c.flags & NetFlags::Configured;
  if (routed ? viaModem == viaLan || viaModem != (c.name == "ppp0") || !(it->flags & IFF_UP) ||
                   (it->flags & IFF_LOOPBACK) || text.find(c.name) == std::string::npos
             : viaModem || viaLan)
    std::abort();
  bool configured = false;
  const std::string info = DescribeConnectionFlags(c.flags, &configured);
  if (configured != routed || std::count(info.begin(), info.end(), '\n') != 4) std::abort();
  return 0;
}
