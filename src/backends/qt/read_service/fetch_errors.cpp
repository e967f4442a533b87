#include "backends/qt/read_service/fetch_errors.hpp"

#include <cerrno>
#include <cstring>

const char* const kNotUnderstood = "The server's answer could not be understood.";

namespace {
std::string SecondsText(int seconds) { return std::to_string(seconds) + (seconds == 1 ? " second" : " seconds"); }

std::string SystemText(long error) { return std::strerror(static_cast<int>(error)); }
}  // namespace

std::string StatusText(long status, const std::string& reason) {
  if (status == 401 || status == 403) return "The access code is invalid.";
  if (status == 404 || status == 410) return "The handle is invalid.";
  std::string text = "The server answered " + std::to_string(status);
  if (!reason.empty()) text += " " + reason;
  return text + " instead of the file.";
}

FetchFailure DescribeFetchError(const FetchEnd& e) {
  using namespace FetchError;
  switch (e.result) {
    case CURLE_COULDNT_RESOLVE_HOST:
      return {NameNotResolved, "The server name or address could not be resolved"};
    case CURLE_COULDNT_RESOLVE_PROXY:
      return {NameNotResolved, "The proxy server's name could not be resolved."};
    case CURLE_COULDNT_CONNECT:
      if (e.osError == ECONNREFUSED) return {CannotConnect, "The server refused the connection."};
      return {CannotConnect,
              "The server could not be reached: " + (e.osError ? SystemText(e.osError) : e.detail) + "."};
    case CURLE_OPERATION_TIMEDOUT:
      if (!e.connected) return {Timeout, "The server could not be reached within " + SecondsText(e.stallSeconds) + "."};
      // Silence for the whole limit, or a trickle below the least rate.
      if (e.silent)
        return {Timeout, "The server stopped sending data: nothing arrived for " + SecondsText(e.stallSeconds) + "."};
      return {Timeout, "The server stopped sending data: less than " + std::to_string(kStallBytesPerSecond) +
                           " bytes a second arrived for " + SecondsText(e.stallSeconds) + "."};
    case CURLE_PARTIAL_FILE:
      return {ConnectionAborted, "The server closed the connection before the download was complete."};
    case CURLE_GOT_NOTHING:
      return {ConnectionAborted, "The server closed the connection without answering."};
    case CURLE_TOO_MANY_REDIRECTS:
      return {Redirect, "The server redirected the download too many times."};
    case CURLE_UNSUPPORTED_PROTOCOL:
      if (e.status >= 300 && e.status < 400)
        return {Redirect, "The server redirected the download to an address that is not allowed: " + e.location};
      return {InvalidResponse, kNotUnderstood};
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
      if (e.osError) return {ConnectionAborted, "The connection to the server failed: " + SystemText(e.osError) + "."};
      return {InvalidResponse, kNotUnderstood};  // a malformed chunk
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_BAD_CONTENT_ENCODING:
#if LIBCURL_VERSION_NUM >= 0x080600
    case CURLE_TOO_LARGE:
#endif
      return {InvalidResponse, kNotUnderstood};
    case CURLE_OUT_OF_MEMORY:
      // Before 8.6 libcurl ends a head past its limit this way: it is the
      // answer that is at fault, not the memory.
      if (e.connected) return {InvalidResponse, kNotUnderstood};
      return {ConnectionAborted, "The download failed: " + std::string(curl_easy_strerror(e.result)) + "."};
    default:
      return {ConnectionAborted, "The download failed: " +
                                     (e.detail.empty() ? std::string(curl_easy_strerror(e.result)) : e.detail) + "."};
  }
}
