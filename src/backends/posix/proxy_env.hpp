#pragma once
// The proxy that the wizard's http:// and https:// fetches go through, from
// the usual environment variables. The read service and the connection report both
// ask here, so the report says "Proxy" exactly when the fetch uses one.
#include <string>

// The proxy for http:// addresses: http_proxy, then HTTP_PROXY, then
// all_proxy, then ALL_PROXY; "" when none is set. The upper-case
// HTTP_PROXY is honoured too: libcurl leaves it out because a CGI program
// gets it from a request's "Proxy:" header, which cannot happen to a
// desktop program.
std::string HttpProxyFromEnvironment();
// The proxy for https:// addresses: https_proxy, then HTTPS_PROXY, then
// all_proxy, then ALL_PROXY; "" when none is set.
std::string HttpsProxyFromEnvironment();

// The hosts that go direct: no_proxy, then NO_PROXY; "" when none is set.
std::string NoProxyFromEnvironment();

// Whether the no_proxy list names host (without port): "*" names every
// host; a name names itself and its subdomains (a leading "." is ignored);
// an IP address, with an optional "/bits" prefix length, names the
// addresses in that range. Entries are separated by commas or spaces,
// letters compared without regard to case, as libcurl reads the list.
bool NoProxyNames(const std::string& list, const std::string& host);

// The proxy a fetch from hostAndPort ("name:port", "[v6]:port" or "name")
// goes through, over https:// or http://; "" when it goes direct.
std::string ProxyFor(const std::string& hostAndPort, bool https);
inline std::string HttpProxyFor(const std::string& hostAndPort) { return ProxyFor(hostAndPort, false); }
