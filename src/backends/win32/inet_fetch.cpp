#include "backends/win32/inet_fetch.hpp"

#include <algorithm>
#include <climits>
#include <vector>

#include "backends/win32/inet_errors.hpp"
#include "backends/win32/inet_head.hpp"
#include "backends/win32/prelude.hpp"
#include "backends/win32/wide_text.hpp"

namespace {
using Clock = std::chrono::steady_clock;

// Every cache bypassed and nothing kept in it; no cookies, no log-on and no
// dialog; redirects are checked and followed by the fetch itself.
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                                INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_AUTH |
                                INTERNET_FLAG_NO_AUTO_REDIRECT;
// The file itself is asked for, past every cache; no idle connection is kept
// open afterwards.
constexpr wchar_t kRequestHead[] = L"Cache-Control: no-cache\r\nAccept-Encoding: identity\r\nConnection: close\r\n";
// How long a fetch went without any data when its stall limit ended it
// (the timers of the system and of the fetch differ by a little).
constexpr auto kSilence = std::chrono::seconds(1);
constexpr auto kSilenceMargin = std::chrono::milliseconds(250);
// What is read at a time at most: what has arrived, up to this.
constexpr DWORD kReadSize = 64 * 1024;

std::int32_t Clamp(std::int64_t n) { return static_cast<std::int32_t>(std::clamp<std::int64_t>(n, 0, INT32_MAX)); }

bool IsRedirect(DWORD status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID, DWORD) {
  // Only the stages a request reaches on the worker's own thread: the
  // handles' closing, which a cancel may cause elsewhere, is not looked at.
  if (context && (status == INTERNET_STATUS_CONNECTING_TO_SERVER || status == INTERNET_STATUS_CONNECTED_TO_SERVER ||
                  status == INTERNET_STATUS_SENDING_REQUEST))
    reinterpret_cast<InetFetch*>(context)->Reached(status);
}

// A handle of the fetch, held for a cancel to close, and closed when done.
class Held {
 public:
  Held(FetchControl& control, HINTERNET handle) : control_(control), handle_(handle) {
    if (handle_ && !control_.Hold(handle_)) handle_ = nullptr;
  }
  ~Held() {
    if (handle_) control_.Close(handle_);
  }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  HINTERNET get() const { return handle_; }

 private:
  FetchControl& control_;
  HINTERNET handle_;
};

void SetTimeouts(HINTERNET handle, int seconds) {
  DWORD ms = static_cast<DWORD>(seconds) * 1000;
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT})
    InternetSetOptionW(handle, option, &ms, sizeof ms);
}

const FetchFailure kCancelled = FetchFailed::Other("cancelled");
}  // namespace

InetFetch::InetFetch(std::string key, std::wstring url, std::int64_t maxBytes, const InetSettings& settings,
                     std::unique_ptr<DownloadFile> file, std::shared_ptr<FetchControl> control, PostNote post)
    : key_(std::move(key)),
      url_(std::move(url)),
      maxBytes_(maxBytes),
      settings_(settings),
      file_(std::move(file)),
      control_(std::move(control)),
      post_(std::move(post)) {}

void InetFetch::Run() {
  Stage(AsyncStatus::FindingResource);
  std::optional<FetchFailure> failure = Transfer();
  // The file is complete once the system has it all.
  if (!file_->Close() && !failure) failure = FetchFailed::NotStored();
  if (control_->Cancelled()) return control_->Finish(false);
  if (failure) {
    AsyncProperty prop;
    prop.PropertyName = key_;
    prop.StatusCode = AsyncStatus::Error;
    prop.Failed = true;
    prop.ErrorNumber = failure->number ? failure->number : FetchError::ConnectionAborted;
    prop.ErrorDescription = failure->description;
    post_(prop, false);
    return control_->Finish(false);
  }
  Complete();
  control_->Finish(true);
}

void InetFetch::Reached(std::uint32_t inetStatus) {
  if (inetStatus == INTERNET_STATUS_CONNECTED_TO_SERVER) {
    connected_ = true;
  } else if (inetStatus == INTERNET_STATUS_CONNECTING_TO_SERVER) {
    // A server with several addresses is tried address by address; the stage is the same.
    if (lastStatus_ != AsyncStatus::Connecting) Stage(AsyncStatus::Connecting);
  } else if (lastStatus_ != AsyncStatus::SendingRequest) {
    connected_ = true;
    // A connection WinINet had kept open is still connected to first.
    if (lastStatus_ != AsyncStatus::Connecting) Stage(AsyncStatus::Connecting);
    Stage(AsyncStatus::SendingRequest);
  }
}

std::optional<FetchFailure> InetFetch::Transfer() {
  const Held session(*control_,
                     InternetOpenW(L"Larkspire AutoUpdate", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session.get()) return LastInetFailure();
  SetTimeouts(session.get(), settings_.stallSeconds);
  InternetSetStatusCallbackW(session.get(), OnStatus);
  std::wstring url = url_;
  for (int redirects = 0;; ++redirects) {
    const std::optional<HttpAddress> address = CrackHttpAddress(url);
    if (!address) return FetchFailed::RedirectNotAllowed(Narrow(url));
    const auto context = reinterpret_cast<DWORD_PTR>(this);
    const Held connection(*control_, InternetConnectW(session.get(), address->host.c_str(), address->port, nullptr,
                                                      nullptr, INTERNET_SERVICE_HTTP, 0, context));
    if (!connection.get()) return LastInetFailure();
    const Held request(*control_, HttpOpenRequestW(connection.get(), L"GET", address->object.c_str(), nullptr, nullptr,
                                                   nullptr, kRequestFlags, context));
    if (!request.get()) return LastInetFailure();
    SetTimeouts(request.get(), settings_.stallSeconds);
    connected_ = answered_ = false;
    arrival_ = Clock::now();
    if (!HttpSendRequestW(request.get(), kRequestHead, DWORD(-1), nullptr, 0)) return LastInetFailure();
    answered_ = true;
    std::optional<std::wstring> next;
    if (std::optional<FetchFailure> end = Answer(request.get(), url, redirects, next)) return end;
    if (next) {  // redirected: the next request
      url = *next;
      continue;
    }
    if (std::optional<FetchFailure> end = BeginBody(request.get())) return end;
    return ReadBody(request.get());
  }
}

std::optional<FetchFailure> InetFetch::Answer(void* request, const std::wstring& url, int redirects,
                                              std::optional<std::wstring>& next) {
  if (control_->Cancelled()) return kCancelled;
  DWORD status = 0, size = sizeof status;
  HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr);
  // WinINet takes a connection closed before any answer for an empty head.
  if (status == 0) return FetchFailed::NothingAnswered();
  if (!HeadUnderstood(request)) return FetchFailed::NotUnderstood();
  const std::string reason = Narrow(HeadField(request, HTTP_QUERY_STATUS_TEXT).value_or(L""));
  const std::optional<std::wstring> location = HeadField(request, HTTP_QUERY_LOCATION);
  if (IsRedirect(status) && location) {
    if (redirects == InetSettings::kMaxRedirects) return FetchFailed::TooManyRedirects();
    next = ResolveLocation(url, *location);
    if (!CrackHttpAddress(*next)) return FetchFailed::RedirectNotAllowed(Narrow(*next));
    return std::nullopt;
  }
  // An answer that is neither the file nor a redirect to follow.
  if (status < 200 || status >= 300) return FetchFailed::Status(static_cast<long>(status), reason);
  return std::nullopt;
}

std::optional<FetchFailure> InetFetch::BeginBody(void* request) {
  // One length, in digits: anything else leaves the body's end in doubt.
  const std::vector<std::wstring> lengths = ContentLengths(request);
  for (const std::wstring& length : lengths)
    if (!IsDecimal(length) || length != lengths.front()) return FetchFailed::NotUnderstood();
  // Chunks are the one transfer coding; WinINet would read any other as the file.
  const std::optional<std::wstring> coding = HeadField(request, HTTP_QUERY_TRANSFER_ENCODING);
  if (coding && _wcsicmp(coding->c_str(), L"chunked") != 0) return FetchFailed::NotUnderstood();
  const bool chunked = coding.has_value();
  expected_ = chunked || lengths.empty() ? -1 : std::stoll(lengths.front());
  // The caller's bound, else the answer's length, and never past the
  // ceiling. An announced length past it fails at once.
  const std::int64_t given = maxBytes_ > 0 ? maxBytes_ : expected_;
  boundByAnswer_ = maxBytes_ <= 0 && expected_ >= 0 && expected_ <= settings_.ceiling;
  bound_ = given >= 0 ? std::min(given, settings_.ceiling) : settings_.ceiling;
  if (expected_ > bound_) return boundByAnswer_ = false, TooLarge();
  dataBegun_ = true;
  Stage(AsyncStatus::BeginDownloadData);
  return std::nullopt;
}

std::optional<FetchFailure> InetFetch::ReadBody(void* request) {
  std::vector<char> buffer(kReadSize);
  const auto stall = std::chrono::seconds(settings_.stallSeconds);
  // The bytes that arrived since the stall window began.
  Clock::time_point window = Clock::now();
  std::int64_t inWindow = 0;
  for (;;) {
    // Whatever has arrived, waiting for some (at most the receive timeout).
    DWORD available = 0, got = 0;
    if (!InternetQueryDataAvailable(request, &available, 0, 0)) return LastInetFailure();
    if (available > 0 && !InternetReadFile(request, buffer.data(), std::min(available, kReadSize), &got))
      return LastInetFailure();
    if (control_->Cancelled()) return kCancelled;
    if (got == 0) break;
    arrival_ = Clock::now();
    if (static_cast<std::int64_t>(got) > bound_ - written_) return TooLarge();
    if (FetchFailure failed = file_->Write(buffer.data(), got, expected_); failed.number) return failed;
    written_ += got;
    inWindow += got;
    const Clock::time_point now = Clock::now();
    if (now - window >= stall) {
      if (inWindow < kStallBytesPerSecond * settings_.stallSeconds)
        return FetchFailed::Stalled(settings_.stallSeconds, false);
      window = now, inWindow = 0;
    }
    if (now - sinceProgress_ >= std::chrono::milliseconds(settings_.progressMs)) Stage(AsyncStatus::DownloadingData);
  }
  // WinINet ends a body that the server cut short as if it were complete.
  if (expected_ >= 0 && written_ < expected_) return FetchFailed::BodyCut();
  return std::nullopt;
}

FetchFailure InetFetch::LastInetFailure() const {
  const DWORD error = GetLastError();
  if (control_->Cancelled()) return kCancelled;
  return DescribeInetError({.error = error,
                            .connected = connected_,
                            .answered = answered_,
                            .silent = Clock::now() - arrival_ >= kSilence * settings_.stallSeconds - kSilenceMargin,
                            .stallSeconds = settings_.stallSeconds});
}

FetchFailure InetFetch::TooLarge() const {
  using Bound = FetchFailed::Bound;
  return FetchFailed::TooLarge(bound_, boundByAnswer_        ? Bound::Announced
                                       : bound_ == maxBytes_ ? Bound::Callers
                                                             : Bound::Ceiling);
}

void InetFetch::Stage(std::int32_t status) {
  lastStatus_ = status;
  sinceProgress_ = Clock::now();
  if (control_->Cancelled()) return;
  AsyncProperty prop;
  prop.PropertyName = key_;
  prop.StatusCode = status;
  prop.BytesRead = Clamp(written_);
  prop.BytesMax = dataBegun_ && expected_ > 0 ? Clamp(expected_) : 0;
  post_(prop, false);
}

void InetFetch::Complete() {
  Stage(AsyncStatus::EndDownloadData);
  AsyncProperty done;
  done.PropertyName = key_;
  done.StatusCode = AsyncStatus::EndDownloadData;
  done.BytesRead = Clamp(written_);
  // Without an announced length the figures stay unknown to the end.
  done.BytesMax = expected_ > 0 ? done.BytesRead : 0;
  done.Path = Narrow(file_->Path());
  post_(done, true);
}
