// Any no_proxy list and host (split at the first newline): a list names
// every host it names and more when an entry is added (a lone "*" aside),
// names a host that it lists itself, and a fetch from the host with a port
// goes direct exactly when the list names the host.
#include <cstdlib>

#include "backends/posix/proxy_env.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t cut = input.find('\n');
  if (cut == std::string::npos || input.find('\0') != std::string::npos) return 0;
  const std::string list = input.substr(0, cut), host = input.substr(cut + 1);
  const bool named = NoProxyNames(list, host);
  if (named && list != "*" && !NoProxyNames(list + ",other.example", host)) std::abort();
  if (host.empty() || host.find_first_of(", \t[]") != std::string::npos) return 0;
  if (!NoProxyNames(list + "," + host, host)) std::abort();
  const std::string proxy = "http://proxy.example:3128";
  setenv("http_proxy", proxy.c_str(), 1);
  setenv("no_proxy", list.c_str(), 1);
  unsetenv("NO_PROXY");
  const std::string port = host.find(':') == std::string::npos ? host + ":8731" : "[" + host + "]:8731";
  if (HttpProxyFor(port) != (named ? "" : proxy)) std::abort();
  return 0;
}
