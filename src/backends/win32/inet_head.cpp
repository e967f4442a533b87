#include "backends/win32/inet_head.hpp"

#include "backends/win32/prelude.hpp"

std::optional<WebAddress> CrackWebAddress(const std::wstring& url) {
  URL_COMPONENTSW parts{};
  parts.dwStructSize = sizeof parts;
  // Lengths of -1: each part is found in url itself.
  parts.dwSchemeLength = parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = DWORD(-1);
  if (!InternetCrackUrlW(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) return std::nullopt;
  const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
  if ((parts.nScheme != INTERNET_SCHEME_HTTP && !secure) || parts.dwHostNameLength == 0) return std::nullopt;
  WebAddress address;
  address.secure = secure;
  address.host.assign(parts.lpszHostName, parts.dwHostNameLength);
  address.port = parts.nPort;
  address.object.assign(parts.lpszUrlPath ? parts.lpszUrlPath : L"", parts.dwUrlPathLength);
  address.object.append(parts.lpszExtraInfo ? parts.lpszExtraInfo : L"", parts.dwExtraInfoLength);
  if (address.object.empty()) address.object = L"/";
  return address;
}

std::wstring ResolveLocation(const std::wstring& base, const std::wstring& location) {
  std::wstring combined(INTERNET_MAX_URL_LENGTH + 1, L'\0');
  DWORD size = static_cast<DWORD>(combined.size());
  if (!InternetCombineUrlW(base.c_str(), location.c_str(), combined.data(), &size, 0)) return location;
  combined.resize(size);
  return combined;
}

std::optional<std::wstring> HeadField(HINTERNET request, std::uint32_t query, std::uint32_t index) {
  DWORD size = 0, at = index;
  HttpQueryInfoW(request, query, nullptr, &size, &at);
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return std::nullopt;
  std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
  size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  at = index;
  if (!HttpQueryInfoW(request, query, value.data(), &size, &at)) return std::nullopt;
  value.resize(size / sizeof(wchar_t));
  return value;
}

std::vector<std::wstring> ContentLengths(HINTERNET request) {
  std::vector<std::wstring> lengths;
  // A bound: the same field named a dozen times is already not understood.
  for (std::uint32_t i = 0; i < 12; ++i) {
    std::optional<std::wstring> length = HeadField(request, HTTP_QUERY_CONTENT_LENGTH, i);
    if (!length) return lengths;
    lengths.push_back(*length);
  }
  return lengths;
}

bool HeadUnderstood(HINTERNET request) {
  const std::optional<std::wstring> version = HeadField(request, HTTP_QUERY_VERSION);
  if (!version || (*version != L"HTTP/1.0" && *version != L"HTTP/1.1")) return false;
  return HeadLinesFit(HeadField(request, HTTP_QUERY_RAW_HEADERS_CRLF).value_or(L""));
}
