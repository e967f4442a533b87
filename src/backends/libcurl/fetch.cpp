#include "backends/libcurl/fetch.hpp"

#include <strings.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "backends/libcurl/fetch_errors.hpp"
#include "backends/posix/proxy_env.hpp"
#include "platform/async_read_service.hpp"
#include "support/runtime_error.hpp"

namespace {
// What libcurl takes from the socket at a time: large, so that a fast
// download costs few calls.
constexpr long kReceiveBuffer = 512 * 1024;

std::string Trim(const std::string& s) {
  const std::size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

bool IsDecimal(const std::string& s) {
  return !s.empty() && s.size() <= 18 && s.find_first_not_of("0123456789") == std::string::npos;
}

// Every value of a field of the answer being read, as libcurl parsed it.
std::vector<std::string> FieldValues(CURL* easy, const char* name) {
  std::vector<std::string> values;
  curl_header* field = nullptr;
  for (std::size_t i = 0; curl_easy_header(easy, name, i, CURLH_HEADER, -1, &field) == CURLHE_OK; ++i)
    values.emplace_back(field->value);
  return values;
}

// The free space in folder, 0 when it cannot be told.
curl_off_t FreeSpace(const std::string& folder) {
  struct statvfs fs = {};
  return ::statvfs(folder.c_str(), &fs) == 0 ? static_cast<curl_off_t>(fs.f_bavail) * fs.f_frsize : 0;
}
}  // namespace

Fetch::Fetch(std::string fetchKey, const QUrl& url, const QString& folder, curl_off_t maxBytes,
             const FetchSettings& settings, Stage onStage)
    : key(std::move(fetchKey)),
      settings_(settings),
      maxBytes_(maxBytes),
      folder_(folder.toStdString()),
      onStage_(std::move(onStage)),
      easy_(curl_easy_init()) {
  // Created exclusively, and on Linux without a name until it is complete:
  // an existing name or a planted link is never used.
  file = std::make_unique<QTemporaryFile>(folder + QLatin1String("/") + QLatin1String(kDownloadFilePrefix) +
                                          QLatin1String("XXXXXX.tmp"));
  file->setAutoRemove(false);
  if (!file->open()) RaiseFetchFailure(FetchFailed::NoFileIn(folder.toStdString()));
  fd_ = file->handle();

  // The proxy the connection report speaks of; libcurl's own reading of the
  // environment is replaced by it, and its no_proxy list serves redirects.
  proxy = HttpProxyFor(url.host(QUrl::FullyEncoded).toStdString());
  const std::string noProxy = NoProxyFromEnvironment();
  curl_slist* headers = curl_slist_append(nullptr, "Cache-Control: no-cache");
  headers_.reset(curl_slist_append(headers, "Pragma: no-cache"));

  CURL* easy = easy_.get();
  curl_easy_setopt(easy, CURLOPT_URL, url.toEncoded().constData());
  curl_easy_setopt(easy, CURLOPT_PRIVATE, this);
  curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, error);
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http");
  curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http");
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy, CURLOPT_MAXREDIRS, static_cast<long>(FetchSettings::kMaxRedirects));
  curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(easy, CURLOPT_PROXY, proxy.c_str());
  curl_easy_setopt(easy, CURLOPT_NOPROXY, noProxy.c_str());
  curl_easy_setopt(easy, CURLOPT_USERAGENT, "Larkspire AutoUpdate");
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers_.get());
  // The file itself is asked for; a coding the server applies anyway is undone.
  curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "identity");
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, static_cast<long>(settings_.stallSeconds));
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, kStallBytesPerSecond);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, static_cast<long>(settings_.stallSeconds));
  curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kReceiveBuffer);
  // One fetch at a time: no idle connection is kept open afterwards.
  curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
  curl_easy_setopt(easy, CURLOPT_SOCKOPTFUNCTION, &Fetch::OnSocketOpened);
  curl_easy_setopt(easy, CURLOPT_SOCKOPTDATA, this);
  curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &Fetch::OnRequestReady);
  curl_easy_setopt(easy, CURLOPT_PREREQDATA, this);
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Fetch::OnHeader);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Fetch::OnBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
  sinceProgress.start();
  sinceArrival.start();
}

curl_off_t Fetch::Received() const {
  curl_off_t received = written;
  if (coded) curl_easy_getinfo(easy_.get(), CURLINFO_SIZE_DOWNLOAD_T, &received);
  return received;
}

int Fetch::OnSocketOpened(void* fetch, curl_socket_t, curlsocktype purpose) {
  auto& f = *static_cast<Fetch*>(fetch);
  // Two addresses may be tried at once; the stage is the same.
  if (purpose == CURLSOCKTYPE_IPCXN && f.lastStatus != AsyncStatus::Connecting) f.onStage_(f, AsyncStatus::Connecting);
  return CURL_SOCKOPT_OK;
}

int Fetch::OnRequestReady(void* fetch, char*, char*, int, int) {
  auto& f = *static_cast<Fetch*>(fetch);
  f.onStage_(f, AsyncStatus::SendingRequest);
  return CURL_PREREQFUNC_OK;
}

size_t Fetch::OnHeader(char* data, size_t size, size_t count, void* fetch) {
  auto& f = *static_cast<Fetch*>(fetch);
  f.sinceArrival.restart();
  return f.Head(std::string(data, size * count)) ? size * count : 0;
}

bool Fetch::Failed(const FetchFailure& failed) {
  failNumber = failed.number;
  failure = failed.description;
  return false;
}

bool Fetch::Garbled() { return Failed(FetchFailed::NotUnderstood()); }

bool Fetch::TooLarge() {
  using Bound = FetchFailed::Bound;
  return Failed(FetchFailed::TooLarge(bound_, boundByAnswer_        ? Bound::Announced
                                              : bound_ == maxBytes_ ? Bound::Callers
                                                                    : Bound::Ceiling));
}

bool Fetch::Head(const std::string& line) {
  if (dataBegun) return true;  // a trailer after the body
  // Every line of the head ends in CR LF.
  if (line.size() < 2 || line.compare(line.size() - 2, 2, "\r\n") != 0) return Garbled();
  if (line.rfind("HTTP/", 0) == 0) {
    // A new answer, "HTTP/1.1 404 Not Found" (libcurl has checked its form):
    // its reason phrase is the one thing of it that libcurl does not keep.
    const std::string text = line.substr(0, line.size() - 2);
    const std::size_t space = text.find(' ');
    reason = space == std::string::npos || text.size() < space + 5 ? "" : Trim(text.substr(space + 5));
    location.clear();
    coded = false;
    return true;
  }
  return line != "\r\n" || EndOfHead();
}

bool Fetch::EndOfHead() {
  CURL* easy = easy_.get();
  curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
  if (status < 200) return true;  // an interim answer; the real one follows
  if (status >= 400) return Failed(FetchFailed::Status(status, reason));
  if (status >= 300) {
    // Followed, or reported when the fetch ends.
    const char* to = nullptr;
    curl_easy_getinfo(easy, CURLINFO_REDIRECT_URL, &to);
    const std::vector<std::string> named = FieldValues(easy, "Location");
    location = to ? to : named.empty() ? "" : named.front();
    return true;
  }
  // One length, in digits: anything else leaves the body's end in doubt.
  const std::vector<std::string> lengths = FieldValues(easy, "Content-Length");
  for (const std::string& length : lengths)
    if (!IsDecimal(length) || length != lengths.front()) return Garbled();
  const bool chunked = !FieldValues(easy, "Transfer-Encoding").empty();
  const std::vector<std::string> codings = FieldValues(easy, "Content-Encoding");
  coded = !codings.empty() && strcasecmp(codings.back().c_str(), "identity") != 0;
  dataBegun = true;
  expected = chunked || lengths.empty() ? -1 : std::stoll(lengths.front());
  // The caller's bound, else the answer's length, and never past the ceiling;
  // decoded bytes count. An announced length counts the bytes on the wire
  // (libcurl holds the answer to it), so it bounds what is stored only when
  // nothing decodes them. An announced length past the bound fails at once.
  const curl_off_t announced = coded ? -1 : expected;
  const curl_off_t given = maxBytes_ > 0 ? maxBytes_ : announced;
  boundByAnswer_ = maxBytes_ <= 0 && announced >= 0 && announced <= settings_.ceiling;
  bound_ = given >= 0 ? std::min(given, settings_.ceiling) : settings_.ceiling;
  if (announced > bound_) return boundByAnswer_ = false, TooLarge();
  onStage_(*this, AsyncStatus::BeginDownloadData);
  return true;
}

size_t Fetch::OnBody(char* data, size_t size, size_t count, void* fetch) {
  auto& f = *static_cast<Fetch*>(fetch);
  f.sinceArrival.restart();
  return f.Body(data, size * count);
}

size_t Fetch::Body(const char* data, size_t size) {
  if (!dataBegun) return size;  // the body of an answer that is not the file
  if (static_cast<curl_off_t>(size) > bound_ - written) return TooLarge();
  for (size_t done = 0; done < size;) {
    const ssize_t w = ::write(fd_, data + done, size - done);
    if (w < 0) {
      if (errno == EINTR) continue;
      if (errno == ENOSPC || errno == EDQUOT)
        return Failed(FetchFailed::DiskFull(folder_, expected, expected > 0 ? FreeSpace(folder_) : 0));
      return Failed(FetchFailed::WriteFailed(std::strerror(errno)));
    }
    done += static_cast<size_t>(w);
    written += w;
  }
  if (sinceProgress.elapsed() >= settings_.progressMs) onStage_(*this, AsyncStatus::DownloadingData);
  return size;
}
