#include "platform/qt/qt_async_read.hpp"

#include <strings.h>
#include <unistd.h>

#include <QDir>
#include <QSocketNotifier>
#include <QTemporaryFile>
#include <QUrl>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "platform/posix/posix_services.hpp"
#include "platform/posix/proxy_env.hpp"
#include "support/runtime_error.hpp"

namespace {
// Error numbers of failed fetches, after the platform's Internet error codes.
constexpr std::int32_t kErrTimeout = 12002;
constexpr std::int32_t kErrUnrecognizedScheme = 12006;
constexpr std::int32_t kErrNameNotResolved = 12007;
constexpr std::int32_t kErrCannotConnect = 12029;
constexpr std::int32_t kErrConnectionAborted = 12030;
constexpr std::int32_t kErrInvalidResponse = 12152;
constexpr std::int32_t kErrRedirect = 12156;
constexpr std::int32_t kErrDiskFull = 112;
constexpr std::int32_t kErrWrite = 29;

// What libcurl takes from the socket at a time: large, so that a fast
// download costs few calls.
constexpr long kReceiveBuffer = 512 * 1024;

const char* const kNotUnderstood = "The server's answer could not be understood.";

std::string StatusText(long status, const std::string& reason) {
  if (status == 401 || status == 403) return "The access code is invalid.";
  if (status == 404 || status == 410) return "The handle is invalid.";
  std::string text = "The server answered " + std::to_string(status);
  if (!reason.empty()) text += " " + reason;
  return text + " instead of the file.";
}

std::string Trim(const std::string& s) {
  const std::size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

bool IsDecimal(const std::string& s) {
  return !s.empty() && s.size() <= 18 && s.find_first_not_of("0123456789") == std::string::npos;
}

std::string SecondsText(int seconds) { return std::to_string(seconds) + (seconds == 1 ? " second" : " seconds"); }

std::int32_t Clamp(curl_off_t n) {
  return static_cast<std::int32_t>(std::min<curl_off_t>(std::max<curl_off_t>(n, 0), INT32_MAX));
}
}  // namespace

struct QtAsyncReadService::Fetch {
  QtAsyncReadService* service = nullptr;
  std::string key;
  CURL* easy = nullptr;
  curl_slist* headers = nullptr;
  char error[CURL_ERROR_SIZE] = {};
  std::unique_ptr<QTemporaryFile> file;
  int fd = -1;
  curl_off_t written = 0;

  // The answer being read (each interim answer and redirect starts anew).
  long status = 0;
  std::string reason;
  std::string contentLength;
  bool chunked = false;
  bool coded = false;    // the body arrives content-coded and is stored decoded
  std::string location;  // where a redirect sends the fetch

  curl_off_t expected = -1;  // the announced length of the file's answer
  bool dataBegun = false;
  bool announced = false;
  std::int32_t lastStatus = -1;
  QElapsedTimer sinceProgress;
  QElapsedTimer sinceArrival;

  // A failure the callbacks found; it ends the fetch in these words.
  std::int32_t failNumber = 0;
  std::string failure;
};

QtAsyncReadService::QtAsyncReadService() {
  static std::once_flag global;
  std::call_once(global, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  multi_ = curl_multi_init();
  curl_multi_setopt(multi_, CURLMOPT_SOCKETFUNCTION, &QtAsyncReadService::OnSocket);
  curl_multi_setopt(multi_, CURLMOPT_SOCKETDATA, this);
  curl_multi_setopt(multi_, CURLMOPT_TIMERFUNCTION, &QtAsyncReadService::OnTimer);
  curl_multi_setopt(multi_, CURLMOPT_TIMERDATA, this);
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, [this] { Act(CURL_SOCKET_TIMEOUT, 0); });
}

QtAsyncReadService::~QtAsyncReadService() {
  while (!fetches_.empty()) Drop(fetches_.begin()->first, true);
  Forget([](const Pending&) { return true; });
  curl_multi_setopt(multi_, CURLMOPT_SOCKETFUNCTION, nullptr);
  curl_multi_setopt(multi_, CURLMOPT_TIMERFUNCTION, nullptr);
  curl_multi_cleanup(multi_);
  for (auto& [socket, watch] : watches_) {
    delete watch.read;
    delete watch.write;
  }
}

void QtAsyncReadService::AsyncRead(const std::string& target, std::int32_t, const std::string& propertyName,
                                   std::int32_t) {
  const QUrl url(QString::fromStdString(target), QUrl::StrictMode);
  if (!url.isValid() || url.scheme() != QLatin1String("http") || url.host().isEmpty())
    throw RuntimeError(kErrUnrecognizedScheme, "The address is not an http:// address: " + target);
  // A new fetch under a key replaces the old one, delivered or not.
  Forget([&propertyName](const Pending& p) { return p.prop.PropertyName == propertyName; });
  Drop(propertyName, true);

  auto fetch = std::make_unique<Fetch>();
  Fetch& f = *fetch;
  f.service = this;
  f.key = propertyName;
  const QString folder = folder_.isEmpty() ? QDir::tempPath() : folder_;
  // Created exclusively, and on Linux without a name until it is complete:
  // an existing name or a planted link is never used.
  f.file = std::make_unique<QTemporaryFile>(folder + QStringLiteral("/lkdXXXXXX.tmp"));
  f.file->setAutoRemove(false);
  if (!f.file->open())
    throw RuntimeError(kErrWrite,
                       "The download could not be stored: no file can be made in " + folder.toStdString() + ".");
  f.fd = f.file->handle();

  // The proxy the connection report speaks of; libcurl's own reading of the
  // environment is replaced by it, and its no_proxy list serves redirects.
  const std::string proxy = HttpProxyFor(url.host(QUrl::FullyEncoded).toStdString());
  const std::string noProxy = NoProxyFromEnvironment();
  f.headers = curl_slist_append(f.headers, "Cache-Control: no-cache");
  f.headers = curl_slist_append(f.headers, "Pragma: no-cache");

  CURL* easy = f.easy = curl_easy_init();
  curl_easy_setopt(easy, CURLOPT_URL, url.toEncoded().constData());
  curl_easy_setopt(easy, CURLOPT_PRIVATE, &f);
  curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, f.error);
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http");
  curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http");
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy, CURLOPT_MAXREDIRS, static_cast<long>(kMaxRedirects));
  curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(easy, CURLOPT_PROXY, proxy.c_str());
  curl_easy_setopt(easy, CURLOPT_NOPROXY, noProxy.c_str());
  curl_easy_setopt(easy, CURLOPT_USERAGENT, "Larkspire AutoUpdate");
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, f.headers);
  // The file itself is asked for; a coding the server applies anyway is undone.
  curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "identity");
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, static_cast<long>(stallSeconds_));
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, kStallBytesPerSecond);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, static_cast<long>(stallSeconds_));
  curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kReceiveBuffer);
  // One fetch at a time: no idle connection is kept open afterwards.
  curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
  curl_easy_setopt(easy, CURLOPT_SOCKOPTFUNCTION, &QtAsyncReadService::OnSocketOpened);
  curl_easy_setopt(easy, CURLOPT_SOCKOPTDATA, &f);
  curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &QtAsyncReadService::OnRequestReady);
  curl_easy_setopt(easy, CURLOPT_PREREQDATA, &f);
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &QtAsyncReadService::OnHeader);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, &f);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &QtAsyncReadService::OnBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &f);

  fetches_[propertyName] = std::move(fetch);
  f.sinceProgress.start();
  f.sinceArrival.start();
  Progress(f, AsyncStatus::FindingResource);
  // libcurl starts the fetch from its timer, in the event loop: never inside this call.
  curl_multi_add_handle(multi_, easy);
}

int QtAsyncReadService::OnSocket(CURL*, curl_socket_t socket, int what, void* service, void*) {
  static_cast<QtAsyncReadService*>(service)->WatchSocket(socket, what);
  return 0;
}

void QtAsyncReadService::WatchSocket(curl_socket_t socket, int what) {
  Watch& watch = watches_[socket];
  const auto want = [&](QSocketNotifier*& notifier, QSocketNotifier::Type type, bool wanted, int events) {
    if (!wanted && notifier) {
      // It may be the one whose signal runs now.
      notifier->setEnabled(false);
      notifier->deleteLater();
      notifier = nullptr;
    } else if (wanted && !notifier) {
      notifier = new QSocketNotifier(socket, type);
      connect(notifier, &QSocketNotifier::activated, this, [this, socket, events] { Act(socket, events); });
    }
  };
  want(watch.read, QSocketNotifier::Read, what == CURL_POLL_IN || what == CURL_POLL_INOUT, CURL_CSELECT_IN);
  want(watch.write, QSocketNotifier::Write, what == CURL_POLL_OUT || what == CURL_POLL_INOUT, CURL_CSELECT_OUT);
  if (what == CURL_POLL_REMOVE) watches_.erase(socket);
}

int QtAsyncReadService::OnTimer(CURLM*, long milliseconds, void* service) {
  QTimer& timer = static_cast<QtAsyncReadService*>(service)->timer_;
  if (milliseconds < 0)
    timer.stop();
  else
    timer.start(static_cast<int>(std::min<long>(milliseconds, INT32_MAX)));
  return 0;
}

void QtAsyncReadService::Act(curl_socket_t socket, int events) {
  int running = 0;
  curl_multi_socket_action(multi_, socket, events, &running);
  int left = 0;
  while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
    if (message->msg != CURLMSG_DONE) continue;
    Fetch* f = nullptr;
    curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &f);
    Ended(*f, message->data.result);
  }
}

int QtAsyncReadService::OnSocketOpened(void* fetch, curl_socket_t, curlsocktype purpose) {
  auto& f = *static_cast<Fetch*>(fetch);
  // Two addresses may be tried at once; the stage is the same.
  if (purpose == CURLSOCKTYPE_IPCXN && f.lastStatus != AsyncStatus::Connecting)
    f.service->Progress(f, AsyncStatus::Connecting);
  return CURL_SOCKOPT_OK;
}

int QtAsyncReadService::OnRequestReady(void* fetch, char*, char*, int, int) {
  auto& f = *static_cast<Fetch*>(fetch);
  f.service->Progress(f, AsyncStatus::SendingRequest);
  return CURL_PREREQFUNC_OK;
}

size_t QtAsyncReadService::OnHeader(char* data, size_t size, size_t count, void* fetch) {
  auto& f = *static_cast<Fetch*>(fetch);
  f.sinceArrival.restart();
  return f.service->Head(f, std::string(data, size * count)) ? size * count : 0;
}

bool QtAsyncReadService::Head(Fetch& f, const std::string& line) {
  if (f.dataBegun) return true;  // a trailer after the body
  const auto garbled = [&f] {
    f.failNumber = kErrInvalidResponse;
    f.failure = kNotUnderstood;
    return false;
  };
  // Every line of the head ends in CR LF.
  if (line.size() < 2 || line.compare(line.size() - 2, 2, "\r\n") != 0) return garbled();
  const std::string text = line.substr(0, line.size() - 2);
  if (text.rfind("HTTP/", 0) == 0) {
    // A new answer: "HTTP/1.1 404 Not Found" (libcurl has checked its form).
    const std::size_t space = text.find(' ');
    f.reason = space == std::string::npos || text.size() < space + 5 ? "" : Trim(text.substr(space + 5));
    f.contentLength.clear();
    f.location.clear();
    f.chunked = f.coded = false;
    return true;
  }
  if (!text.empty()) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos) return true;
    const std::string name = Trim(text.substr(0, colon));
    const std::string value = Trim(text.substr(colon + 1));
    if (strcasecmp(name.c_str(), "Content-Length") == 0) {
      // One length, in digits: anything else leaves the body's end in doubt.
      if (!IsDecimal(value) || (!f.contentLength.empty() && value != f.contentLength)) return garbled();
      f.contentLength = value;
    } else if (strcasecmp(name.c_str(), "Transfer-Encoding") == 0) {
      f.chunked = true;
    } else if (strcasecmp(name.c_str(), "Location") == 0) {
      f.location = value;
    } else if (strcasecmp(name.c_str(), "Content-Encoding") == 0) {
      f.coded = strcasecmp(value.c_str(), "identity") != 0;
    }
    return true;
  }
  // The end of a head.
  curl_easy_getinfo(f.easy, CURLINFO_RESPONSE_CODE, &f.status);
  if (f.status < 200) return true;  // an interim answer; the real one follows
  if (f.status >= 400) {
    f.failNumber = static_cast<std::int32_t>(f.status);
    f.failure = StatusText(f.status, f.reason);
    return false;
  }
  if (f.status >= 300) {
    // Followed, or reported when the fetch ends.
    const char* to = nullptr;
    curl_easy_getinfo(f.easy, CURLINFO_REDIRECT_URL, &to);
    if (to) f.location = to;
    return true;
  }
  f.dataBegun = true;
  f.expected = f.chunked || f.contentLength.empty() ? -1 : std::stoll(f.contentLength);
  Progress(f, AsyncStatus::BeginDownloadData);
  return true;
}

size_t QtAsyncReadService::OnBody(char* data, size_t size, size_t count, void* fetch) {
  auto& f = *static_cast<Fetch*>(fetch);
  f.sinceArrival.restart();
  return f.service->Body(f, data, size * count);
}

size_t QtAsyncReadService::Body(Fetch& f, const char* data, size_t size) {
  if (!f.dataBegun) return size;  // the body of an answer that is not the file
  for (size_t done = 0; done < size;) {
    const ssize_t w = ::write(f.fd, data + done, size - done);
    if (w < 0) {
      if (errno == EINTR) continue;
      if (errno == ENOSPC || errno == EDQUOT) {
        f.failNumber = kErrDiskFull;
        f.failure = "Not enough storage is available to process this command.";
      } else {
        f.failNumber = kErrWrite;
        f.failure = std::string("The downloaded data could not be written: ") + std::strerror(errno) + ".";
      }
      return 0;
    }
    done += static_cast<size_t>(w);
    f.written += w;
  }
  if (f.sinceProgress.elapsed() >= progressMs_) Progress(f, AsyncStatus::DownloadingData);
  return size;
}

void QtAsyncReadService::Ended(Fetch& f, CURLcode result) {
  if (!f.failure.empty()) return Fail(f, f.failNumber, f.failure);
  if (result != CURLE_OK) {
    std::int32_t number = 0;
    const std::string text = Describe(f, result, &number);
    return Fail(f, number, text);
  }
  // An answer that is neither the file nor a redirect that was followed.
  if (!f.dataBegun) return Fail(f, static_cast<std::int32_t>(f.status), StatusText(f.status, f.reason));
  Finish(f);
}

std::string QtAsyncReadService::Describe(Fetch& f, CURLcode result, std::int32_t* number) {
  long osError = 0;
  curl_easy_getinfo(f.easy, CURLINFO_OS_ERRNO, &osError);
  switch (result) {
    case CURLE_COULDNT_RESOLVE_HOST:
      *number = kErrNameNotResolved;
      return "The server name or address could not be resolved";
    case CURLE_COULDNT_RESOLVE_PROXY:
      *number = kErrNameNotResolved;
      return "The proxy server's name could not be resolved.";
    case CURLE_COULDNT_CONNECT:
      *number = kErrCannotConnect;
      if (osError == ECONNREFUSED) return "The server refused the connection.";
      return std::string("The server could not be reached: ") +
             (osError ? std::strerror(static_cast<int>(osError)) : f.error) + ".";
    case CURLE_OPERATION_TIMEDOUT: {
      *number = kErrTimeout;
      curl_off_t connected = 0;
      curl_easy_getinfo(f.easy, CURLINFO_CONNECT_TIME_T, &connected);
      if (connected == 0) return "The server could not be reached within " + SecondsText(stallSeconds_) + ".";
      // Silence for the whole limit, or a trickle below the least rate.
      if (f.sinceArrival.elapsed() >= stallSeconds_ * 1000LL - 250)
        return "The server stopped sending data: nothing arrived for " + SecondsText(stallSeconds_) + ".";
      return "The server stopped sending data: less than " + std::to_string(kStallBytesPerSecond) +
             " bytes a second arrived for " + SecondsText(stallSeconds_) + ".";
    }
    case CURLE_PARTIAL_FILE:
      *number = kErrConnectionAborted;
      return "The server closed the connection before the download was complete.";
    case CURLE_GOT_NOTHING:
      *number = kErrConnectionAborted;
      return "The server closed the connection without answering.";
    case CURLE_TOO_MANY_REDIRECTS:
      *number = kErrRedirect;
      return "The server redirected the download too many times.";
    case CURLE_UNSUPPORTED_PROTOCOL:
      if (f.status >= 300 && f.status < 400) {
        *number = kErrRedirect;
        return "The server redirected the download to an address that is not allowed: " + f.location;
      }
      *number = kErrInvalidResponse;
      return kNotUnderstood;
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
      if (osError) {
        *number = kErrConnectionAborted;
        return std::string("The connection to the server failed: ") + std::strerror(static_cast<int>(osError)) + ".";
      }
      *number = kErrInvalidResponse;  // a malformed chunk
      return kNotUnderstood;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_BAD_CONTENT_ENCODING:
      *number = kErrInvalidResponse;
      return kNotUnderstood;
    default:
      *number = kErrConnectionAborted;
      return std::string("The download failed: ") + (*f.error ? f.error : curl_easy_strerror(result)) + ".";
  }
}

void QtAsyncReadService::Finish(Fetch& f) {
  // The file gets its name in the folder now (it had none so far).
  const QString name = f.file->fileName();
  if (name.isEmpty()) return Fail(f, kErrWrite, "The downloaded data could not be stored.");
  Progress(f, AsyncStatus::EndDownloadData);
  AsyncProperty done;
  done.PropertyName = f.key;
  done.StatusCode = AsyncStatus::EndDownloadData;
  done.BytesRead = Clamp(f.written);
  // Without an announced length the figures stay unknown to the end.
  done.BytesMax = f.expected > 0 ? done.BytesRead : 0;
  done.Path = PosixFileSystem::FromNative(name.toStdString());
  Post(done, true);
  // The file now belongs to the receiver; the fetch is over.
  Drop(f.key, false);
}

void QtAsyncReadService::Post(const AsyncProperty& prop, bool complete) {
  queue_.push_back({prop, complete});
  if (deliveryScheduled_) return;
  deliveryScheduled_ = true;
  // Delivered from the event loop: a receiver may run the event loop again,
  // which must never happen inside libcurl's callbacks.
  QTimer::singleShot(0, this, [this] {
    deliveryScheduled_ = false;
    Deliver();
  });
}

void QtAsyncReadService::Deliver() {
  while (!queue_.empty()) {
    const Pending next = std::move(queue_.front());
    queue_.pop_front();
    if (!handler_) continue;
    if (next.complete)
      handler_->AsyncReadComplete(next.prop);
    else
      handler_->AsyncReadProgress(next.prop);
  }
}

void QtAsyncReadService::Progress(Fetch& f, std::int32_t status) {
  if (!f.announced && status != AsyncStatus::FindingResource) Progress(f, AsyncStatus::FindingResource);
  f.announced = true;
  f.lastStatus = status;
  AsyncProperty prop;
  prop.PropertyName = f.key;
  prop.StatusCode = status;
  // A coded body is counted as it arrives, like the length announced for it.
  curl_off_t received = f.written;
  if (f.coded) curl_easy_getinfo(f.easy, CURLINFO_SIZE_DOWNLOAD_T, &received);
  prop.BytesRead = Clamp(received);
  prop.BytesMax = f.dataBegun && f.expected > 0 ? Clamp(f.expected) : 0;
  f.sinceProgress.restart();
  Post(prop, false);
}

void QtAsyncReadService::Fail(Fetch& f, std::int32_t number, const std::string& description) {
  AsyncProperty prop;
  prop.PropertyName = f.key;
  prop.StatusCode = AsyncStatus::Error;
  prop.Failed = true;
  prop.ErrorNumber = number ? number : kErrConnectionAborted;
  prop.ErrorDescription = description;
  Post(prop, false);
  Drop(f.key, true);
}

void QtAsyncReadService::CancelAsyncRead(const std::string& propertyName) {
  // Nothing more is delivered for a cancelled fetch, not even what is on its
  // way, such as a completion that has not been handed over yet.
  const bool forgotten = Forget([&propertyName](const Pending& p) { return p.prop.PropertyName == propertyName; });
  if (!fetches_.count(propertyName)) {
    if (!forgotten) throw RuntimeError(kErrWrite, "No download is running under that key.");
    return;
  }
  Drop(propertyName, true);
}

bool QtAsyncReadService::Forget(const std::function<bool(const Pending&)>& which) {
  bool any = false;
  for (auto it = queue_.begin(); it != queue_.end();) {
    if (!which(*it)) {
      ++it;
      continue;
    }
    // A completion that is never handed over takes its file with it.
    if (it->complete && !it->prop.Failed) ::unlink(PosixFileSystem::ToNative(it->prop.Path).c_str());
    it = queue_.erase(it);
    any = true;
  }
  return any;
}

void QtAsyncReadService::Drop(const std::string& key, bool removeFile) {
  auto it = fetches_.find(key);
  if (it == fetches_.end()) return;
  std::unique_ptr<Fetch> f = std::move(it->second);
  fetches_.erase(it);
  curl_multi_remove_handle(multi_, f->easy);
  curl_easy_cleanup(f->easy);
  curl_slist_free_all(f->headers);
  f->file->close();
  if (removeFile) f->file->remove();
}
