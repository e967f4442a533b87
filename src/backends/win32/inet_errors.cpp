#include "backends/win32/inet_errors.hpp"

#include "backends/win32/handles.hpp"
#include "backends/win32/wide_text.hpp"

std::string InetErrorText(std::uint32_t error) {
  // WinINet's own numbers are worded by wininet.dll, the others by the system.
  const bool inet = error >= INTERNET_ERROR_BASE && error <= INTERNET_ERROR_LAST;
  wchar_t* words = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                                     (inet ? FORMAT_MESSAGE_FROM_HMODULE : FORMAT_MESSAGE_FROM_SYSTEM),
                                 inet ? GetModuleHandleW(L"wininet.dll") : nullptr, error, 0,
                                 reinterpret_cast<wchar_t*>(&words), 0, nullptr);
  const UniqueLocalMemory owned(words);
  std::wstring text(words ? words : L"", n);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L'.' || text.back() == L' '))
    text.pop_back();
  return text.empty() ? "error " + std::to_string(error) : Narrow(text);
}

namespace {
// WSAETIMEDOUT, which Wine passes on as it is from a read of the body that
// timed out.
constexpr std::uint32_t kSocketTimedOut = 10060;
}  // namespace

FetchFailure DescribeInetError(const InetEnd& e, const TransferRules& rules) {
  switch (e.error) {
    case ERROR_INTERNET_NAME_NOT_RESOLVED:
      return FetchFailed::NameNotResolved();
    case ERROR_INTERNET_CANNOT_CONNECT:
      // WinINet has this one number for a refused connection and for a
      // server that cannot be reached at all.
      return FetchFailed::Refused();
    case ERROR_INTERNET_TIMEOUT:
    case kSocketTimedOut: {
      // The receive timeout is the stall limit: nothing arrived for all of it.
      Wait silence = e.wait;
      silence.silent = true;
      return rules.TimedOut(silence);
    }
    case ERROR_INTERNET_CONNECTION_ABORTED:
      // Wine ends a receive that timed out this way.
      if (e.wait.silent) return rules.TimedOut(e.wait);
      return e.answered ? FetchFailed::BodyCut() : FetchFailed::NothingAnswered();
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
      return FetchFailed::CertificateNotVerified(FetchError::CertificateDate, e.host, "");
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
      return FetchFailed::CertificateNotVerified(FetchError::CertificateName, e.host, "");
    case ERROR_INTERNET_INVALID_CA:
      return FetchFailed::CertificateNotVerified(FetchError::CertificateIssuer, e.host, "");
    case ERROR_INTERNET_SEC_CERT_ERRORS:
    case ERROR_INTERNET_SEC_CERT_REV_FAILED:
    case ERROR_INTERNET_SEC_CERT_REVOKED:
    case ERROR_INTERNET_SEC_INVALID_CERT:
      return FetchFailed::CertificateNotVerified(FetchError::CertificateOther, e.host, InetErrorText(e.error));
    case ERROR_INTERNET_CONNECTION_RESET:
      return FetchFailed::ConnectionFailed("Connection reset by peer");
    case ERROR_HTTP_INVALID_SERVER_RESPONSE:
      return FetchFailed::NotUnderstood();
    default:
      return FetchFailed::Other(InetErrorText(e.error));
  }
}
