#include "backends/posix/proxy_env.hpp"

#include <arpa/inet.h>
#include <strings.h>

#include <cstdlib>
#include <cstring>

namespace {
std::string FirstSet(std::initializer_list<const char*> names) {
  for (const char* name : names)
    if (const char* value = std::getenv(name); value && *value) return value;
  return "";
}

// host without a port and without the brackets of an IPv6 address.
std::string HostOnly(const std::string& hostAndPort) {
  if (!hostAndPort.empty() && hostAndPort.front() == '[') {
    const std::size_t close = hostAndPort.find(']');
    return hostAndPort.substr(1, close == std::string::npos ? std::string::npos : close - 1);
  }
  const std::size_t colon = hostAndPort.find(':');
  // More than one colon: a bare IPv6 address.
  if (colon != std::string::npos && hostAndPort.find(':', colon + 1) == std::string::npos)
    return hostAndPort.substr(0, colon);
  return hostAndPort;
}

// Whether the first bits bits of the two addresses (of len bytes) agree.
bool SamePrefix(const unsigned char* a, const unsigned char* b, int len, int bits) {
  if (bits < 0 || bits > len * 8) bits = len * 8;
  const int whole = bits / 8;
  if (std::memcmp(a, b, static_cast<std::size_t>(whole)) != 0) return false;
  const int rest = bits % 8;
  if (rest == 0) return true;
  const unsigned mask = (0xffu << (8 - rest)) & 0xffu;
  return (a[whole] & mask) == (b[whole] & mask);
}

bool EntryNames(std::string entry, const std::string& host) {
  unsigned char hostAddress[16];
  const int family = inet_pton(AF_INET, host.c_str(), hostAddress) == 1    ? AF_INET
                     : inet_pton(AF_INET6, host.c_str(), hostAddress) == 1 ? AF_INET6
                                                                           : 0;
  if (family) {
    int bits = -1;
    if (const std::size_t slash = entry.find('/'); slash != std::string::npos) {
      bits = std::atoi(entry.c_str() + slash + 1);
      entry.resize(slash);
    }
    if (entry.size() > 2 && entry.front() == '[' && entry.back() == ']') entry = entry.substr(1, entry.size() - 2);
    unsigned char entryAddress[16];
    if (inet_pton(family, entry.c_str(), entryAddress) != 1) return false;
    return SamePrefix(hostAddress, entryAddress, family == AF_INET ? 4 : 16, bits);
  }
  if (entry.front() == '.') entry.erase(0, 1);
  if (entry.size() == host.size()) return strcasecmp(entry.c_str(), host.c_str()) == 0;
  return entry.size() < host.size() && host[host.size() - entry.size() - 1] == '.' &&
         strcasecmp(entry.c_str(), host.c_str() + (host.size() - entry.size())) == 0;
}
}  // namespace

std::string HttpProxyFromEnvironment() { return FirstSet({"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}); }

std::string HttpsProxyFromEnvironment() { return FirstSet({"https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}); }

std::string NoProxyFromEnvironment() { return FirstSet({"no_proxy", "NO_PROXY"}); }

bool NoProxyNames(const std::string& list, const std::string& host) {
  if (list == "*") return true;
  std::size_t at = 0;
  while (at < list.size()) {
    const std::size_t end = list.find_first_of(", \t", at);
    const std::string entry = list.substr(at, end == std::string::npos ? std::string::npos : end - at);
    if (!entry.empty() && EntryNames(entry, host)) return true;
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return false;
}

std::string ProxyFor(const std::string& hostAndPort, bool https) {
  const std::string proxy = https ? HttpsProxyFromEnvironment() : HttpProxyFromEnvironment();
  if (proxy.empty() || NoProxyNames(NoProxyFromEnvironment(), HostOnly(hostAndPort))) return "";
  return proxy;
}
