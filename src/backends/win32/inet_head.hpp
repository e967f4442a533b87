#pragma once
// What a fetch reads of addresses and of an answer's head through WinINet:
// an http:// or https:// address's parts, redirects resolved against the address they
// came from, and the fields of the head a request has received.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "backends/win32/handles.hpp"
#include "backends/win32/head_text.hpp"

// The parts of an http:// or https:// address that a request is made of.
struct WebAddress {
  bool secure = false;  // https://
  std::wstring host;
  std::uint16_t port = 80;
  std::wstring object;  // path and query, "/" at least
};

// The parts of url; nothing when it is not an http:// or https:// address
// with a host. Never fails.
std::optional<WebAddress> CrackWebAddress(const std::wstring& url);
// location resolved against base (a relative one keeps base's server); as
// given when it cannot be resolved. Never fails.
std::wstring ResolveLocation(const std::wstring& base, const std::wstring& location);

// One of the request's head fields (an HTTP_QUERY_ value), its index-th
// occurrence; nothing when the head has no such field. Never fails.
std::optional<std::wstring> HeadField(HINTERNET request, std::uint32_t query, std::uint32_t index = 0);
// Every value the head gives its Content-Length. Never fails.
std::vector<std::wstring> ContentLengths(HINTERNET request);
// Whether the head can be taken as an HTTP/1 answer: its status line names
// HTTP/1.0 or HTTP/1.1 and none of its lines is longer than a fetch takes.
// Never fails.
bool HeadUnderstood(HINTERNET request);
