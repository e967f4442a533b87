#include "backends/libcurl/fetch_errors.hpp"

#include <cerrno>
#include <cstring>

namespace {
std::string SystemText(long error) { return std::strerror(static_cast<int>(error)); }
}  // namespace

FetchFailure DescribeFetchError(const FetchEnd& e) {
  switch (e.result) {
    case CURLE_COULDNT_RESOLVE_HOST:
      return FetchFailed::NameNotResolved();
    case CURLE_COULDNT_RESOLVE_PROXY:
      return FetchFailed::ProxyNameNotResolved();
    case CURLE_COULDNT_CONNECT:
      if (e.osError == ECONNREFUSED) return FetchFailed::Refused();
      return FetchFailed::Unreachable(e.osError ? SystemText(e.osError) : e.detail);
    case CURLE_OPERATION_TIMEDOUT:
      if (!e.connected) return FetchFailed::NoConnectionWithin(e.stallSeconds);
      // Silence for the whole limit, or a trickle below the least rate.
      return FetchFailed::Stalled(e.stallSeconds, e.silent);
    case CURLE_PARTIAL_FILE:
      return FetchFailed::BodyCut();
    case CURLE_GOT_NOTHING:
      return FetchFailed::NothingAnswered();
    case CURLE_TOO_MANY_REDIRECTS:
      return FetchFailed::TooManyRedirects();
    case CURLE_UNSUPPORTED_PROTOCOL:
      if (e.status >= 300 && e.status < 400) return FetchFailed::RedirectNotAllowed(e.location);
      return FetchFailed::NotUnderstood();
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
      if (e.osError) return FetchFailed::ConnectionFailed(SystemText(e.osError));
      return FetchFailed::NotUnderstood();  // a malformed chunk
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_BAD_CONTENT_ENCODING:
#if LIBCURL_VERSION_NUM >= 0x080600
    case CURLE_TOO_LARGE:
#endif
      return FetchFailed::NotUnderstood();
    case CURLE_OUT_OF_MEMORY:
      // Before 8.6 libcurl ends a head past its limit this way: it is the
      // answer that is at fault, not the memory.
      if (e.connected) return FetchFailed::NotUnderstood();
      return FetchFailed::Other(curl_easy_strerror(e.result));
    default:
      return FetchFailed::Other(e.detail.empty() ? std::string(curl_easy_strerror(e.result)) : e.detail);
  }
}
