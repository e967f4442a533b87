#include "backends/libcurl/fetch_errors.hpp"

#include <openssl/x509_vfy.h>

#include <cerrno>
#include <cstring>

#include "backends/libcurl/curl_on_demand.hpp"

namespace {
std::string SystemText(long error) { return std::strerror(static_cast<int>(error)); }

// Which of the certificate failures OpenSSL's verdict is. libcurl checks the
// name itself once OpenSSL found the chain good, and leaves a verdict of no
// particular error (0, or 1 since libcurl 7.88) when the name is wrong.
std::int32_t CertificateProblem(long verdict) {
  switch (verdict) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_CERT_NOT_YET_VALID:
      return FetchError::CertificateDate;
    case X509_V_OK:
    case X509_V_ERR_UNSPECIFIED:
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
      return FetchError::CertificateName;
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_CERT_UNTRUSTED:
      return FetchError::CertificateIssuer;
    default:
      return FetchError::CertificateOther;
  }
}
}  // namespace

FetchFailure DescribeFetchError(const FetchEnd& e, const TransferRules& rules) {
  switch (e.result) {
    case CURLE_COULDNT_RESOLVE_HOST:
      return FetchFailed::NameNotResolved();
    case CURLE_COULDNT_RESOLVE_PROXY:
      return FetchFailed::ProxyNameNotResolved();
    case CURLE_COULDNT_CONNECT:
      if (e.osError == ECONNREFUSED) return FetchFailed::Refused();
      return FetchFailed::Unreachable(e.osError ? SystemText(e.osError) : e.detail);
    case CURLE_OPERATION_TIMEDOUT:
      return rules.TimedOut(e.wait);
    case CURLE_PEER_FAILED_VERIFICATION:
      return FetchFailed::CertificateNotVerified(CertificateProblem(e.verifyResult), e.host, e.detail);
    case CURLE_PARTIAL_FILE:
      return FetchFailed::BodyCut();
    case CURLE_GOT_NOTHING:
      return FetchFailed::NothingAnswered();
    case CURLE_TOO_MANY_REDIRECTS:
      return FetchFailed::TooManyRedirects();
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
      if (e.osError) return FetchFailed::ConnectionFailed(SystemText(e.osError));
      return FetchFailed::NotUnderstood();  // a malformed chunk
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_BAD_CONTENT_ENCODING:
#if LIBCURL_VERSION_NUM >= 0x080600
    case CURLE_TOO_LARGE:
#endif
      return FetchFailed::NotUnderstood();
    case CURLE_OUT_OF_MEMORY:
      // Before 8.6 libcurl ends a head past its limit this way: it is the
      // answer that is at fault, not the memory.
      if (e.wait.connected) return FetchFailed::NotUnderstood();
      return FetchFailed::Other(Curl().easy_strerror(e.result));
    default:
      return FetchFailed::Other(e.detail.empty() ? std::string(Curl().easy_strerror(e.result)) : e.detail);
  }
}
