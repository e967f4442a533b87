#include "backends/linux/connection_state.hpp"

#include <dirent.h>
#include <net/if.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "backends/posix/proxy_env.hpp"

namespace {
const NetInterface* FindInterface(const KernelNetState& s, const std::string& name) {
  for (const auto& i : s.interfaces)
    if (i.name == name) return &i;
  return nullptr;
}

// Interfaces that carry a default route, IPv4 first.
std::vector<std::string> DefaultRouteInterfaces(const KernelNetState& s) {
  std::vector<std::string> out;
  std::istringstream v4(s.ipv4Routes);
  std::string line;
  std::getline(v4, line);  // header
  while (std::getline(v4, line)) {
    std::istringstream f(line);
    std::string iface, dest, gateway, flags, refcnt, use, metric, mask;
    if (!(f >> iface >> dest >> gateway >> flags >> refcnt >> use >> metric >> mask)) continue;
    const unsigned long fl = std::strtoul(flags.c_str(), nullptr, 16);
    if (dest == "00000000" && mask == "00000000" && (fl & 0x1)) out.push_back(iface);
  }
  std::istringstream v6(s.ipv6Routes);
  while (std::getline(v6, line)) {
    std::istringstream f(line);
    std::string dest, prefix, src, srcPrefix, next, metric, refcnt, use, flags, iface;
    if (!(f >> dest >> prefix >> src >> srcPrefix >> next >> metric >> refcnt >> use >> flags >> iface)) continue;
    const unsigned long fl = std::strtoul(flags.c_str(), nullptr, 16);
    // A reject route (RTF_REJECT) is no way out.
    if (dest == std::string(32, '0') && prefix == "00" && (fl & 0x1) && !(fl & 0x200) && iface != "lo")
      out.push_back(iface);
  }
  return out;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

ConnectionFlags ComputeConnectionFlags(const KernelNetState& state) {
  ConnectionFlags out;
  if (!state.readable) return out;
  out.answered = true;
  for (const std::string& name : DefaultRouteInterfaces(state)) {
    const NetInterface* i = FindInterface(state, name);
    if (!i || !(i->flags & IFF_UP) || (i->flags & IFF_LOOPBACK)) continue;
    out.flags |= NetFlags::Configured | ((i->flags & IFF_POINTOPOINT) ? NetFlags::Modem : NetFlags::Lan);
    out.name = name;
    break;
  }
  bool anyUp = false;
  for (const auto& i : state.interfaces) {
    if ((i.flags & IFF_UP) && !(i.flags & IFF_LOOPBACK)) {
      anyUp = true;
      if (out.name.empty()) out.name = i.name;
    }
  }
  if (!anyUp) out.flags |= NetFlags::Offline;
  if (state.proxyConfigured) out.flags |= NetFlags::Proxy;
  if (state.dialUpInstalled) out.flags |= NetFlags::RasInstalled;
  return out;
}

KernelNetState ReadKernelNetState(const std::string& updateHost, const std::string& root) {
  KernelNetState s;
  const std::string base = root == "/" ? "" : root;
  s.ipv4Routes = ReadText(base + "/proc/net/route");
  s.ipv6Routes = ReadText(base + "/proc/net/ipv6_route");
  if (DIR* d = opendir((base + "/sys/class/net").c_str())) {
    while (dirent* e = readdir(d)) {
      if (e->d_name[0] == '.') continue;
      NetInterface i;
      i.name = e->d_name;
      i.flags = static_cast<std::uint32_t>(
          std::strtoul(ReadText(base + "/sys/class/net/" + i.name + "/flags").c_str(), nullptr, 16));
      s.interfaces.push_back(i);
    }
    closedir(d);
  }
  s.readable = !s.ipv4Routes.empty() || !s.interfaces.empty();
  s.proxyConfigured = !HttpProxyFor(updateHost).empty();
  s.dialUpInstalled = access((base + "/usr/sbin/pppd").c_str(), X_OK) == 0;
  return s;
}

bool PosixConnectionService::InternetGetConnectedStateEx(std::uint32_t* flags, char* name, std::uint32_t nameLength,
                                                         std::uint32_t) {
  const ConnectionFlags c = ComputeConnectionFlags(ReadKernelNetState(updateHost_));
  if (!c.answered) return false;
  if (flags) *flags = c.flags;
  if (name && nameLength) {
    const std::size_t n = std::min<std::size_t>(c.name.size(), nameLength - 1);
    std::memcpy(name, c.name.data(), n);
    name[n] = '\0';
  }
  return true;
}
