#include "backends/win32/inet_fetch.hpp"

#include <algorithm>
#include <atomic>
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

// Closes a request whose answer's head has not arrived whole in time. WinINet
// waits for a head as long as its bytes keep coming, however slowly; its
// receive timeout ends only silence, which comes first, since the watch
// gives it a moment more than the stall limit.
class HeadWatch {
 public:
  HeadWatch(FetchControl& control, HINTERNET request, int stallSeconds) : control_(control), request_(request) {
    const DWORD due = static_cast<DWORD>(stallSeconds) * 1000 + 500;
    if (!CreateTimerQueueTimer(&timer_, nullptr, &HeadWatch::OnTime, this, due, 0, WT_EXECUTEONLYONCE))
      timer_ = nullptr;
  }
  // Waits for a callback that runs.
  ~HeadWatch() {
    if (timer_) DeleteTimerQueueTimer(nullptr, timer_, INVALID_HANDLE_VALUE);
  }
  HeadWatch(const HeadWatch&) = delete;
  HeadWatch& operator=(const HeadWatch&) = delete;
  bool Fired() const { return fired_; }

 private:
  static void CALLBACK OnTime(PVOID watch, BOOLEAN) {
    auto& w = *static_cast<HeadWatch*>(watch);
    w.fired_ = true;
    w.control_.Close(w.request_);
  }

  FetchControl& control_;
  HINTERNET request_;
  HANDLE timer_ = nullptr;
  std::atomic<bool> fired_{false};
};
}  // namespace

InetFetch::InetFetch(std::string key, std::wstring url, std::int64_t maxBytes, const TransferSettings& settings,
                     std::unique_ptr<DownloadFile> file, std::shared_ptr<FetchControl> control, PostNote post,
                     std::shared_ptr<IStoredBytes> watcher)
    : url_(std::move(url)),
      file_(std::move(file)),
      rules_(settings, std::move(key), maxBytes, file_->FolderText()),
      control_(std::move(control)),
      post_(std::move(post)),
      watcher_(std::move(watcher)) {}

void InetFetch::Run() {
  start_ = Clock::now();
  Stage(AsyncStatus::FindingResource);
  std::optional<FetchFailure> failure = Transfer();
  // The file is complete once the system has it all.
  if (!file_->Close() && !failure) failure = FetchFailed::NotStored();
  if (control_->Cancelled()) return control_->Finish(false);
  if (failure) {
    post_(rules_.Failure(*failure, ""), false);
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
  const int stallSeconds = rules_.Settings().stallSeconds;
  const Held session(*control_,
                     InternetOpenW(L"Larkspire AutoUpdate", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session.get()) return LastInetFailure();
  SetTimeouts(session.get(), stallSeconds);
  InternetSetStatusCallbackW(session.get(), OnStatus);
  std::wstring url = url_;
  for (int redirects = 0;; ++redirects) {
    const std::optional<WebAddress> address = CrackWebAddress(url);
    if (!address) return FetchFailed::RedirectNotAllowed(Narrow(url));
    host_ = address->host;
    const auto context = reinterpret_cast<DWORD_PTR>(this);
    const Held connection(*control_, InternetConnectW(session.get(), address->host.c_str(), address->port, nullptr,
                                                      nullptr, INTERNET_SERVICE_HTTP, 0, context));
    if (!connection.get()) return LastInetFailure();
    // Over https:// the system checks the server's certificate; nothing here turns that off.
    const Held request(*control_,
                       HttpOpenRequestW(connection.get(), L"GET", address->object.c_str(), nullptr, nullptr, nullptr,
                                        kRequestFlags | (address->secure ? INTERNET_FLAG_SECURE : 0), context));
    if (!request.get()) return LastInetFailure();
    SetTimeouts(request.get(), stallSeconds);
    connected_ = answered_ = false;
    arrival_ = Clock::now();
    {
      const HeadWatch watch(*control_, request.get(), stallSeconds);
      if (!HttpSendRequestW(request.get(), kRequestHead, DWORD(-1), nullptr, 0) || watch.Fired()) {
        if (!watch.Fired() || control_->Cancelled()) return LastInetFailure();
        Wait late = Waited(false);
        late.headBegun = true;  // bytes kept coming, or the receive timeout would have ended it
        return rules_.TimedOut(late);
      }
    }
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

std::optional<FetchFailure> InetFetch::Answer(HINTERNET request, const std::wstring& url, int redirects,
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
    if (redirects == TransferSettings::kMaxRedirects) return FetchFailed::TooManyRedirects();
    next = ResolveLocation(url, *location);
    if (!RedirectAllowed(Narrow(url), Narrow(*next)) || !CrackWebAddress(*next))
      return FetchFailed::RedirectNotAllowed(Narrow(*next));
    return std::nullopt;
  }
  // An answer that is neither the file nor a redirect to follow.
  if (status < 200 || status >= 300) return FetchFailed::Status(static_cast<long>(status), reason);
  return std::nullopt;
}

std::optional<FetchFailure> InetFetch::BeginBody(HINTERNET request) {
  // Chunks are the one transfer coding; WinINet would read any other as the file.
  const std::optional<std::wstring> coding = HeadField(request, HTTP_QUERY_TRANSFER_ENCODING);
  if (coding && _wcsicmp(coding->c_str(), L"chunked") != 0) return FetchFailed::NotUnderstood();
  std::vector<std::string> lengths;
  for (const std::wstring& length : ContentLengths(request)) lengths.push_back(Narrow(length));
  // No coding is asked for, and WinINet would not undo one.
  if (std::optional<FetchFailure> refused = rules_.BeginBody(lengths, coding.has_value(), false, file_->Space()))
    return refused;
  Stage(AsyncStatus::BeginDownloadData);
  return std::nullopt;
}

std::optional<FetchFailure> InetFetch::ReadBody(HINTERNET request) {
  std::vector<char> buffer(kReadSize);
  const int stallSeconds = rules_.Settings().stallSeconds, deadline = rules_.DeadlineSeconds();
  const auto stall = std::chrono::seconds(stallSeconds);
  const auto space = [this] { return file_->Space(); };
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
    const Clock::time_point now = arrival_ = Clock::now();
    if (deadline > 0 && now - start_ >= std::chrono::seconds(deadline)) return rules_.TimedOut(Waited(false));
    if (std::optional<FetchFailure> refused = rules_.Store(got, space)) return refused;
    if (FetchFailure failed = file_->Write(buffer.data(), got, rules_.Expected()); failed.number) return failed;
    if (watcher_) watcher_->Stored({reinterpret_cast<const std::uint8_t*>(buffer.data()), got});
    rules_.Stored(got);
    inWindow += got;
    if (now - window >= stall) {
      if (inWindow < kStallBytesPerSecond * stallSeconds) return FetchFailed::Stalled(stallSeconds, false);
      window = now, inWindow = 0;
    }
    if (now - sinceProgress_ >= std::chrono::milliseconds(rules_.Settings().progressMs))
      Stage(AsyncStatus::DownloadingData);
  }
  // WinINet ends a body that the server cut short as if it were complete.
  if (rules_.Expected() >= 0 && rules_.Written() < rules_.Expected()) return FetchFailed::BodyCut();
  return std::nullopt;
}

Wait InetFetch::Waited(bool silent) const {
  return {.connected = connected_,
          .headBegun = answered_,
          .headDone = answered_,
          .silent = silent,
          .elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count()};
}

FetchFailure InetFetch::LastInetFailure() const {
  const DWORD error = GetLastError();
  if (control_->Cancelled()) return kCancelled;
  const int stallSeconds = rules_.Settings().stallSeconds;
  return DescribeInetError({.error = error,
                            .answered = answered_,
                            .wait = Waited(Clock::now() - arrival_ >= kSilence * stallSeconds - kSilenceMargin),
                            .host = Narrow(host_)},
                           rules_);
}

void InetFetch::Stage(std::int32_t status) {
  lastStatus_ = status;
  sinceProgress_ = Clock::now();
  if (control_->Cancelled()) return;
  post_(rules_.Stage(status, rules_.Written()), false);
}

void InetFetch::Complete() {
  Stage(AsyncStatus::EndDownloadData);
  post_(rules_.Completion(Narrow(file_->Path())), true);
}
