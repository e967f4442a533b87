// Any no_proxy list and host (split at the first newline): a list names
// every host it names and more when an entry is added (a lone "*" aside),
// names a host that it lists itself, and a fetch from the host with a port
// goes direct exactly when the list names the host, else through the proxy
// of its scheme.
#include "backends/posix/proxy_env.hpp"
#include "fuzz_input.hpp"

void Fuzz(const std::uint8_t*, std::size_t, std::string_view text) {
  if (text.find('\n') == text.npos || text.find('\0') != text.npos) return;
  const auto [list, host] = Split(text);
  const bool named = NoProxyNames(list, host);
  Check(!named || list == "*" || NoProxyNames(list + ",other.example", host));
  if (host.empty() || host.find_first_of(", \t[]") != std::string::npos) return;
  Check(NoProxyNames(list + "," + host, host));
  const std::string proxy = "http://proxy.example:3128", secure = "http://tunnel.example:3129";
  setenv("http_proxy", proxy.c_str(), 1);
  setenv("https_proxy", secure.c_str(), 1);
  setenv("no_proxy", list.c_str(), 1);
  unsetenv("NO_PROXY");
  const std::string at = (host.find(':') == host.npos ? host : "[" + host + "]") + ":8731";
  Check(HttpProxyFor(at) == (named ? "" : proxy) && ProxyFor(at, true) == (named ? "" : secure));
}
