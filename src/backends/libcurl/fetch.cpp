#include "backends/libcurl/fetch.hpp"

#include <strings.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "backends/libcurl/fetch_errors.hpp"
#include "backends/openssl/crypto_on_demand.hpp"
#include "backends/posix/proxy_env.hpp"
#include "platform/async_read_service.hpp"
#include "support/runtime_error.hpp"

namespace {
// What libcurl takes from the socket at a time, and what the file is
// written in: large, so that a fast download costs few calls.
constexpr long kReceiveBuffer = 512 * 1024;
constexpr std::size_t kWriteBlock = 512 * 1024;

std::string Trim(const std::string& s) {
  const std::size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

// Every value of a field of the answer being read, as libcurl parsed it.
std::vector<std::string> FieldValues(CURL* easy, const char* name) {
  std::vector<std::string> values;
  curl_header* field = nullptr;
  for (std::size_t i = 0; Curl().easy_header(easy, name, i, CURLH_HEADER, -1, &field) == CURLHE_OK; ++i)
    values.emplace_back(field->value);
  return values;
}

// The space on the disk of folder; unknown when it cannot be told.
DiskSpace SpaceIn(const std::string& folder) {
  struct statvfs fs = {};
  if (::statvfs(folder.c_str(), &fs) != 0) return {};
  return {static_cast<std::int64_t>(fs.f_bavail * fs.f_frsize), static_cast<std::int64_t>(fs.f_blocks * fs.f_frsize)};
}

// Where the system's trust store is, as OpenSSL finds it: SSL_CERT_FILE and
// SSL_CERT_DIR when set, as for every program built on OpenSSL, else its
// default paths. libcurl would otherwise use the bundle it was built with
// and ignore both.
std::string TrustStore(const char* variable, const char* fallback) {
  const char* set = std::getenv(variable);
  return set && *set ? set : fallback;
}
}  // namespace

Fetch::Fetch(std::string fetchKey, const QUrl& url, const QString& folder, curl_off_t maxBytes,
             const TransferSettings& settings, Stage onStage, std::shared_ptr<IStoredBytes> watcher)
    : key(std::move(fetchKey)),
      rules(settings, key, maxBytes, folder.toStdString()),
      folder_(folder.toStdString()),
      onStage_(std::move(onStage)),
      watcher_(std::move(watcher)),
      easy_(Curl().easy_init()) {
  // Created exclusively, and on Linux without a name until it is complete:
  // an existing name or a planted link is never used.
  file = std::make_unique<QTemporaryFile>(folder + QLatin1String("/") + QLatin1String(kDownloadFilePrefix) +
                                          QLatin1String("XXXXXX.tmp"));
  file->setAutoRemove(false);
  if (!file->open()) RaiseFetchFailure(FetchFailed::NoFileIn(folder.toStdString()));
  fd_ = file->handle();

  pending_.reserve(kWriteBlock + kReceiveBuffer);
  const CurlLibrary& curl = Curl();
  curl_slist* headers = curl.slist_append(nullptr, "Cache-Control: no-cache");
  headers_.reset(curl.slist_append(headers, "Pragma: no-cache"));
  CURL* easy = easy_.get();
  Aim(url);
  curl.easy_setopt(easy, CURLOPT_PRIVATE, this);
  curl.easy_setopt(easy, CURLOPT_ERRORBUFFER, error);
  curl.easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  // Each redirect is checked and followed by the fetch (Follow).
  curl.easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl.easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
  curl.easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  const CryptoLibrary& crypto = Crypto();  // loaded: the service made sure before its first fetch
  curl.easy_setopt(easy, CURLOPT_CAINFO,
                   TrustStore(crypto.X509_get_default_cert_file_env(), crypto.X509_get_default_cert_file()).c_str());
  curl.easy_setopt(easy, CURLOPT_CAPATH,
                   TrustStore(crypto.X509_get_default_cert_dir_env(), crypto.X509_get_default_cert_dir()).c_str());
  curl.easy_setopt(easy, CURLOPT_USERAGENT, "Larkspire AutoUpdate");
  curl.easy_setopt(easy, CURLOPT_HTTPHEADER, headers_.get());
  // The file itself is asked for; a coding the server applies anyway is undone.
  curl.easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "identity");
  curl.easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, static_cast<long>(rules.Settings().stallSeconds));
  curl.easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, kStallBytesPerSecond);
  curl.easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, static_cast<long>(rules.Settings().stallSeconds));
  curl.easy_setopt(easy, CURLOPT_BUFFERSIZE, kReceiveBuffer);
  // One fetch at a time: no idle connection is kept open afterwards.
  curl.easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
  curl.easy_setopt(easy, CURLOPT_SOCKOPTFUNCTION, &Fetch::OnSocketOpened);
  curl.easy_setopt(easy, CURLOPT_SOCKOPTDATA, this);
  curl.easy_setopt(easy, CURLOPT_PREREQFUNCTION, &Fetch::OnRequestReady);
  curl.easy_setopt(easy, CURLOPT_PREREQDATA, this);
  curl.easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Fetch::OnHeader);
  curl.easy_setopt(easy, CURLOPT_HEADERDATA, this);
  curl.easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Fetch::OnBody);
  curl.easy_setopt(easy, CURLOPT_WRITEDATA, this);
  sinceStart.start();
  sinceProgress.start();
  sinceArrival.start();
}

void Fetch::Aim(const QUrl& url) {
  CURL* easy = easy_.get();
  address = url.toEncoded().toStdString();
  host = url.host(QUrl::FullyEncoded).toStdString();
  // The proxy the connection report speaks of, for this address; libcurl's
  // own reading of the environment is replaced by it.
  proxy = ProxyFor(host, SchemeOf(address) == Scheme::Https);
  Curl().easy_setopt(easy, CURLOPT_URL, address.c_str());
  Curl().easy_setopt(easy, CURLOPT_PROXY, proxy.c_str());
  // What is left of the whole fetch's deadline, for this step.
  if (const int deadline = rules.DeadlineSeconds(); deadline > 0) {
    const qint64 left = deadline * 1000LL - (sinceStart.isValid() ? sinceStart.elapsed() : 0);
    Curl().easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(std::max<qint64>(left, 1)));
  }
}

std::optional<FetchFailure> Fetch::Follow() {
  if (redirects == TransferSettings::kMaxRedirects) return FetchFailed::TooManyRedirects();
  // The address libcurl resolved the field to, known once the answer ended.
  const char* resolved = nullptr;
  Curl().easy_getinfo(easy_.get(), CURLINFO_REDIRECT_URL, &resolved);
  if (resolved) location = resolved;
  const QUrl next(QString::fromStdString(location), QUrl::StrictMode);
  if (!RedirectAllowed(address, location) || !next.isValid() || next.host().isEmpty())
    return FetchFailed::RedirectNotAllowed(location);
  ++redirects;
  status = 0;
  headBegun = headDone = false;
  Aim(next);
  return std::nullopt;
}

Wait Fetch::Waited() const {
  curl_off_t connected = 0;
  Curl().easy_getinfo(easy_.get(), CURLINFO_CONNECT_TIME_T, &connected);
  return {.connected = connected != 0,
          .headBegun = headBegun,
          .headDone = headDone,
          .silent = sinceArrival.elapsed() >= rules.Settings().stallSeconds * 1000LL - 250,
          .elapsedMs = sinceStart.elapsed()};
}

curl_off_t Fetch::Received() const {
  curl_off_t received = rules.Written();
  if (coded) Curl().easy_getinfo(easy_.get(), CURLINFO_SIZE_DOWNLOAD_T, &received);
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

bool Fetch::Head(const std::string& line) {
  if (rules.DataBegun()) return true;  // a trailer after the body
  // Every line of the head ends in CR LF.
  if (line.size() < 2 || line.compare(line.size() - 2, 2, "\r\n") != 0) return Failed(FetchFailed::NotUnderstood());
  if (line.rfind("HTTP/", 0) == 0) {
    // A new answer, "HTTP/1.1 404 Not Found" (libcurl has checked its form):
    // its reason phrase is the one thing of it that libcurl does not keep.
    const std::string text = line.substr(0, line.size() - 2);
    const std::size_t space = text.find(' ');
    reason = space == std::string::npos || text.size() < space + 5 ? "" : Trim(text.substr(space + 5));
    location.clear();
    coded = false;
    headBegun = true;
    headDone = false;
    return true;
  }
  return line != "\r\n" || EndOfHead();
}

bool Fetch::EndOfHead() {
  CURL* easy = easy_.get();
  Curl().easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
  if (status < 200) return true;  // an interim answer; the real one follows
  headDone = true;
  if (status >= 400) return Failed(FetchFailed::Status(status, reason));
  if (status >= 300) {
    // Followed when the answer has ended, or reported.
    const std::vector<std::string> named = FieldValues(easy, "Location");
    location = named.empty() ? "" : named.front();
    return true;
  }
  const std::vector<std::string> codings = FieldValues(easy, "Content-Encoding");
  coded = !codings.empty() && strcasecmp(codings.back().c_str(), "identity") != 0;
  if (std::optional<FetchFailure> refused =
          rules.BeginBody(FieldValues(easy, "Content-Length"), !FieldValues(easy, "Transfer-Encoding").empty(), coded,
                          SpaceIn(folder_)))
    return Failed(*refused);
  onStage_(*this, AsyncStatus::BeginDownloadData);
  return true;
}

size_t Fetch::OnBody(char* data, size_t size, size_t count, void* fetch) {
  auto& f = *static_cast<Fetch*>(fetch);
  f.sinceArrival.restart();
  return f.Body(data, size * count);
}

size_t Fetch::Body(const char* data, size_t size) {
  if (!rules.DataBegun()) return size;  // the body of an answer that is not the file
  if (std::optional<FetchFailure> refused =
          rules.Store(static_cast<std::int64_t>(size), [this] { return SpaceIn(folder_); }))
    return Failed(*refused);
  pending_.insert(pending_.end(), reinterpret_cast<const std::uint8_t*>(data),
                  reinterpret_cast<const std::uint8_t*>(data) + size);
  rules.Stored(static_cast<std::int64_t>(size));
  if (pending_.size() >= kWriteBlock)
    if (std::optional<FetchFailure> failed = Flush()) return Failed(*failed);
  if (sinceProgress.elapsed() >= rules.Settings().progressMs) onStage_(*this, AsyncStatus::DownloadingData);
  return size;
}

std::optional<FetchFailure> Fetch::Flush() {
  for (size_t done = 0; done < pending_.size();) {
    const ssize_t w = ::write(fd_, pending_.data() + done, pending_.size() - done);
    if (w < 0) {
      if (errno == EINTR) continue;
      if (errno == ENOSPC || errno == EDQUOT) {
        const std::int64_t expected = rules.Expected();
        return FetchFailed::DiskFull(folder_, expected, expected > 0 ? SpaceIn(folder_).free : 0);
      }
      return FetchFailed::WriteFailed(std::strerror(errno));
    }
    done += static_cast<size_t>(w);
  }
  if (watcher_ && !pending_.empty()) {
    // Given away, not copied: a copy of every byte here, on the window's
    // thread, cost about a tenth of the rate of a 1 GiB download on
    // loopback (paired runs of bench_transfer).
    pending_ = watcher_->StoredBlock(std::move(pending_));
  }
  pending_.clear();
  return std::nullopt;
}
