#include "platform/qt/qt_async_read.hpp"

#include <unistd.h>

#include <QDir>
#include <QNetworkProxy>
#include <QTcpSocket>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <vector>

#include "platform/posix/posix_services.hpp"
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

// An answer's head larger than this is not an answer this service reads.
constexpr std::size_t kMaxHead = 64 * 1024;
// Bytes taken from the socket before the event loop gets its turn again.
constexpr qint64 kReadSlice = 8 << 20;
// What the socket may hold before it stops reading from the network.
constexpr qint64 kSocketBuffer = 4 << 20;

const char* const kDroppedText = "The server closed the connection before the download was complete.";

// "60 seconds", "1 second", "0.2 seconds".
std::string SecondsText(int milliseconds) {
  if (milliseconds % 1000 == 0) {
    const int seconds = milliseconds / 1000;
    return std::to_string(seconds) + (seconds == 1 ? " second" : " seconds");
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.1f seconds", milliseconds / 1000.0);
  return text;
}

// The statuses that send the client on to the address in Location.
bool IsRedirect(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::string StatusText(int status, const std::string& reason) {
  if (status == 401 || status == 403) return "The access code is invalid.";
  if (status == 404 || status == 410) return "The handle is invalid.";
  std::string text = "The server answered " + std::to_string(status);
  if (!reason.empty()) text += " " + reason;
  return text + " instead of the file.";
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

std::string Trim(const std::string& s) {
  const std::size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

// A whole decimal number of at most 18 digits, or -1.
qint64 ParseLength(const std::string& text) {
  if (text.empty() || text.size() > 18) return -1;
  qint64 n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    n = n * 10 + (c - '0');
  }
  return n;
}

// The size at the start of a chunk's line (hexadecimal, extensions after
// ";" ignored), or -1.
qint64 ParseChunkSize(const std::string& line) {
  const std::string digits = Trim(line.substr(0, line.find(';')));
  if (digits.empty() || digits.size() > 15) return -1;
  qint64 n = 0;
  for (char c : digits) {
    int v;
    if (c >= '0' && c <= '9')
      v = c - '0';
    else if (c >= 'a' && c <= 'f')
      v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      v = c - 'A' + 10;
    else
      return -1;
    n = n * 16 + v;
  }
  return n;
}
}  // namespace

struct QtAsyncReadService::Fetch {
  std::string key;
  QUrl url;  // the address being asked now (after any redirects)
  std::unique_ptr<QTemporaryFile> file;
  int fd = -1;
  QTcpSocket* socket = nullptr;

  // Where the answer's reading stands.
  enum class Part { Head, Body, ChunkSize, ChunkData, ChunkDataEnd, Trailer, Done };
  Part part = Part::Head;
  std::string head;
  int status = 0;
  std::string reason;
  std::string location;
  qint64 expected = -1;  // Content-Length, when announced
  bool chunked = false;
  qint64 chunkLeft = 0;
  std::string line;  // a chunk line that is not whole yet
  bool requestSent = false;
  std::vector<char> buffer;

  qint64 written = 0;
  bool announced = false;
  bool dataBegun = false;
  int redirects = 0;
  QTimer stall;
  QElapsedTimer sinceProgress;
  std::shared_ptr<bool> alive = std::make_shared<bool>(true);
};

QtAsyncReadService::QtAsyncReadService() = default;

QtAsyncReadService::~QtAsyncReadService() {
  while (!fetches_.empty()) Drop(fetches_.begin()->first, true);
  Forget([](const Pending&) { return true; });
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
  fetch->key = propertyName;
  fetch->url = url;
  const QString folder = folder_.isEmpty() ? QDir::tempPath() : folder_;
  // Created exclusively: an existing name or a planted link is never used.
  fetch->file = std::make_unique<QTemporaryFile>(folder + QStringLiteral("/lkdXXXXXX.tmp"));
  fetch->file->setAutoRemove(false);
  if (!fetch->file->open())
    throw RuntimeError(kErrWrite,
                       "The download could not be stored: no file can be made in " + folder.toStdString() + ".");
  fetch->fd = fetch->file->handle();
  Fetch& f = *fetch;
  fetches_[propertyName] = std::move(fetch);

  f.stall.setSingleShot(true);
  f.stall.setInterval(stallMs_);
  const std::shared_ptr<bool> alive = f.alive;
  connect(&f.stall, &QTimer::timeout, this, [this, &f, alive] {
    // Failed from the event loop: the timer goes with the fetch.
    QTimer::singleShot(0, this, [this, &f, alive] {
      if (*alive)
        Fail(f, kErrTimeout, "The server stopped sending data: nothing arrived for " + SecondsText(stallMs_) + ".");
    });
  });
  f.sinceProgress.start();
  f.stall.start();
  // The fetch begins from the event loop, never from inside this call.
  Progress(f, AsyncStatus::FindingResource);
  QTimer::singleShot(0, this, [this, &f, alive] {
    if (*alive) Connect(f);
  });
}

void QtAsyncReadService::Connect(Fetch& f) {
  f.part = Fetch::Part::Head;
  f.head.clear();
  f.status = 0;
  f.reason.clear();
  f.location.clear();
  f.expected = -1;
  f.chunked = false;
  f.chunkLeft = 0;
  f.line.clear();
  f.requestSent = false;

  auto* socket = new QTcpSocket;
  f.socket = socket;
  // Plain requests straight to the server: no proxy is consulted.
  socket->setProxy(QNetworkProxy::NoProxy);
  socket->setReadBufferSize(kSocketBuffer);
  connect(socket, &QAbstractSocket::stateChanged, this, [this, &f](QAbstractSocket::SocketState state) {
    if (state == QAbstractSocket::ConnectingState) Progress(f, AsyncStatus::Connecting);
  });
  connect(socket, &QAbstractSocket::connected, this, [this, &f] { OnConnected(f); });
  connect(socket, &QIODevice::readyRead, this, [this, &f] { OnReadable(f); });
  connect(socket, &QAbstractSocket::disconnected, this, [this, &f] { OnClosed(f); });
  connect(socket, &QAbstractSocket::errorOccurred, this, [this, &f] { OnSocketError(f); });
  f.stall.start();
  socket->connectToHost(f.url.host(), static_cast<quint16>(f.url.port(80)));
}

void QtAsyncReadService::OnConnected(Fetch& f) {
  QByteArray path = f.url.path(QUrl::FullyEncoded).toLatin1();
  if (path.isEmpty()) path = "/";
  if (f.url.hasQuery()) path += "?" + f.url.query(QUrl::FullyEncoded).toLatin1();
  QString host = f.url.host(QUrl::FullyEncoded);
  if (host.contains(':')) host = "[" + host + "]";
  if (f.url.port() != -1) host += ":" + QString::number(f.url.port());
  // Cache-Control and Pragma ask every cache on the way for a fresh copy.
  const QByteArray request = "GET " + path + " HTTP/1.1\r\nHost: " + host.toLatin1() +
                             "\r\nUser-Agent: Larkspire AutoUpdate\r\nAccept: */*\r\n"
                             "Cache-Control: no-cache\r\nPragma: no-cache\r\nConnection: close\r\n\r\n";
  f.requestSent = true;
  f.socket->write(request);
  f.stall.start();
  Progress(f, AsyncStatus::SendingRequest);
}

void QtAsyncReadService::OnReadable(Fetch& f) {
  if (!f.socket) return;
  QTcpSocket* const socket = f.socket;
  const std::shared_ptr<bool> alive = f.alive;
  if (!Drain(f, kReadSlice)) return;
  if (socket->bytesAvailable() > 0) {
    // More is waiting: read it after the window's own events.
    QTimer::singleShot(0, this, [this, &f, alive, socket] {
      if (*alive && f.socket == socket) OnReadable(f);
    });
  }
  if (f.dataBegun && f.sinceProgress.elapsed() >= progressMs_) Progress(f, AsyncStatus::DownloadingData);
}

bool QtAsyncReadService::Drain(Fetch& f, qint64 limit) {
  QTcpSocket* const socket = f.socket;
  const std::shared_ptr<bool> alive = f.alive;
  if (f.buffer.empty()) f.buffer.resize(1 << 20);
  for (qint64 taken = 0; taken < limit;) {
    const qint64 n = socket->read(f.buffer.data(), static_cast<qint64>(f.buffer.size()));
    if (n <= 0) break;
    taken += n;
    f.stall.start();
    if (!Consume(f, f.buffer.data(), n) || !*alive || f.socket != socket) return false;
  }
  return true;
}

bool QtAsyncReadService::Consume(Fetch& f, const char* data, qint64 size) {
  while (size > 0) {
    switch (f.part) {
      case Fetch::Part::Head:
        if (!ConsumeHead(f, data, size)) return false;
        break;
      case Fetch::Part::Body:
        if (!ConsumeBody(f, data, size)) return false;
        break;
      case Fetch::Part::Done:
        return true;  // anything after the answer is not read
      default:
        if (!ConsumeChunked(f, data, size)) return false;
        break;
    }
  }
  return true;
}

bool QtAsyncReadService::ConsumeHead(Fetch& f, const char*& data, qint64& size) {
  const std::size_t before = f.head.size();
  f.head.append(data, static_cast<std::size_t>(std::min<qint64>(size, kMaxHead)));
  const std::size_t end = f.head.find("\r\n\r\n", before < 3 ? 0 : before - 3);
  if (end == std::string::npos) {
    if (f.head.size() >= kMaxHead) {
      Fail(f, kErrInvalidResponse, "The server's answer could not be understood.");
      return false;
    }
    size = 0;
    return true;
  }
  const std::size_t used = end + 4 - before;
  data += used;
  size -= static_cast<qint64>(used);
  f.head.resize(end + 2);
  return OnHead(f);
}

bool QtAsyncReadService::OnHead(Fetch& f) {
  // Status line: "HTTP/1.x 200 OK".
  const std::size_t eol = f.head.find("\r\n");
  const std::string statusLine = f.head.substr(0, eol);
  int status = 0;
  if (statusLine.rfind("HTTP/1.", 0) != 0 || statusLine.size() < 12 || statusLine[8] != ' ' ||
      std::sscanf(statusLine.c_str() + 9, "%3d", &status) != 1 || status < 100 || status > 999) {
    Fail(f, kErrInvalidResponse, "The server's answer could not be understood.");
    return false;
  }
  if (status < 200) {
    // An interim answer ("100 Continue"): the real one follows.
    f.head.clear();
    return true;
  }
  f.status = status;
  f.reason = statusLine.size() > 13 ? Trim(statusLine.substr(13)) : "";
  std::string encoding;
  for (std::size_t at = eol + 2; at < f.head.size();) {
    const std::size_t next = f.head.find("\r\n", at);
    const std::string field = f.head.substr(at, next - at);
    at = next + 2;
    const std::size_t colon = field.find(':');
    if (colon == std::string::npos) continue;
    const std::string name = Lower(Trim(field.substr(0, colon)));
    const std::string value = Trim(field.substr(colon + 1));
    if (name == "content-length") {
      f.expected = ParseLength(value);
      if (f.expected < 0) {
        Fail(f, kErrInvalidResponse, "The server's answer could not be understood.");
        return false;
      }
    } else if (name == "transfer-encoding") {
      encoding = Lower(value);
    } else if (name == "location") {
      f.location = value;
    }
  }
  f.chunked = encoding.find("chunked") != std::string::npos;
  if (f.chunked) f.expected = -1;  // the chunks tell where the body ends

  if (IsRedirect(status) && !f.location.empty()) {
    Redirect(f, f.url.resolved(QUrl(QString::fromStdString(f.location))));
    return false;
  }
  if (status >= 300) {
    Fail(f, status, StatusText(status, f.reason));
    return false;
  }
  f.dataBegun = true;
  f.part = f.chunked ? Fetch::Part::ChunkSize : Fetch::Part::Body;
  Progress(f, AsyncStatus::BeginDownloadData);
  if (f.part == Fetch::Part::Body && f.expected == 0) {
    Finish(f);
    return false;
  }
  return true;
}

bool QtAsyncReadService::ConsumeBody(Fetch& f, const char*& data, qint64& size) {
  qint64 n = size;
  if (f.expected >= 0) n = std::min(n, f.expected - f.written);
  if (!Write(f, data, n)) return false;
  data += n;
  size -= n;
  if (f.expected >= 0 && f.written == f.expected) {
    Finish(f);
    return false;
  }
  return true;
}

bool QtAsyncReadService::ConsumeChunked(Fetch& f, const char*& data, qint64& size) {
  if (f.part == Fetch::Part::ChunkData) {
    const qint64 n = std::min(size, f.chunkLeft);
    if (!Write(f, data, n)) return false;
    data += n;
    size -= n;
    f.chunkLeft -= n;
    if (f.chunkLeft == 0) f.part = Fetch::Part::ChunkDataEnd;
    return true;
  }
  // The other parts are lines: a chunk's size, the end of its data, the trailer.
  const char* newline = static_cast<const char*>(std::memchr(data, '\n', static_cast<std::size_t>(size)));
  const qint64 n = newline ? newline - data + 1 : size;
  f.line.append(data, static_cast<std::size_t>(n));
  data += n;
  size -= n;
  if (f.line.size() > 4096) {
    Fail(f, kErrInvalidResponse, "The server's answer could not be understood.");
    return false;
  }
  if (!newline) return true;
  std::string line = f.line;
  f.line.clear();
  if (!line.empty() && line.back() == '\n') line.pop_back();
  if (!line.empty() && line.back() == '\r') line.pop_back();
  switch (f.part) {
    case Fetch::Part::ChunkSize: {
      const qint64 chunk = ParseChunkSize(line);
      if (chunk < 0) {
        Fail(f, kErrInvalidResponse, "The server's answer could not be understood.");
        return false;
      }
      f.chunkLeft = chunk;
      f.part = chunk == 0 ? Fetch::Part::Trailer : Fetch::Part::ChunkData;
      return true;
    }
    case Fetch::Part::ChunkDataEnd:
      if (!line.empty()) {
        Fail(f, kErrInvalidResponse, "The server's answer could not be understood.");
        return false;
      }
      f.part = Fetch::Part::ChunkSize;
      return true;
    default:  // the trailer ends with an empty line, and the body with it
      if (!line.empty()) return true;
      Finish(f);
      return false;
  }
}

void QtAsyncReadService::Redirect(Fetch& f, const QUrl& to) {
  // Only plain http:// addresses, and only a few of them.
  if (to.scheme() != QLatin1String("http") || to.host().isEmpty()) {
    Fail(f, kErrRedirect,
         "The server redirected the download to an address that is not allowed: " + to.toString().toStdString());
    return;
  }
  if (++f.redirects > kMaxRedirects) {
    Fail(f, kErrRedirect, "The server redirected the download too many times.");
    return;
  }
  // The answer that redirects is not read further; the next address answers.
  CloseSocket(f);
  f.url = to;
  Connect(f);
}

bool QtAsyncReadService::Write(Fetch& f, const char* data, qint64 size) {
  qint64 done = 0;
  while (done < size) {
    ssize_t w;
    if (writeLimit_ >= 0 && f.written + (size - done) > writeLimit_) {
      w = -1;
      errno = ENOSPC;
    } else {
      w = ::write(f.fd, data + done, static_cast<std::size_t>(size - done));
    }
    if (w < 0) {
      if (errno == EINTR) continue;
      if (errno == ENOSPC || errno == EDQUOT)
        Fail(f, kErrDiskFull, "Not enough storage is available to process this command.");
      else
        Fail(f, kErrWrite, std::string("The downloaded data could not be written: ") + std::strerror(errno) + ".");
      return false;
    }
    done += w;
    f.written += w;
  }
  return true;
}

void QtAsyncReadService::OnClosed(Fetch& f) {
  if (!f.socket) return;
  // What arrived before the close is read first.
  if (!Drain(f, std::numeric_limits<qint64>::max())) return;
  if (f.part == Fetch::Part::Body && f.expected < 0) {
    // Without a length or chunks, the close is the end of the body.
    Finish(f);
    return;
  }
  if (f.part == Fetch::Part::Head) {
    Fail(f, kErrConnectionAborted,
         f.head.empty() ? "The server closed the connection without answering." : kDroppedText);
    return;
  }
  Fail(f, kErrConnectionAborted, kDroppedText);
}

void QtAsyncReadService::OnSocketError(Fetch& f) {
  if (!f.socket) return;
  switch (f.socket->error()) {
    case QAbstractSocket::RemoteHostClosedError:
      OnClosed(f);
      return;
    case QAbstractSocket::HostNotFoundError:
      Fail(f, kErrNameNotResolved, "The server name or address could not be resolved");
      return;
    case QAbstractSocket::ConnectionRefusedError:
      Fail(f, kErrCannotConnect, "The server refused the connection.");
      return;
    case QAbstractSocket::SocketTimeoutError:
      Fail(f, kErrTimeout, "The server did not answer in time.");
      return;
    default:
      if (f.requestSent)
        Fail(f, kErrConnectionAborted,
             "The connection to the server failed: " + f.socket->errorString().toStdString() + ".");
      else
        Fail(f, kErrCannotConnect, "The server could not be reached: " + f.socket->errorString().toStdString() + ".");
      return;
  }
}

void QtAsyncReadService::Finish(Fetch& f) {
  f.part = Fetch::Part::Done;
  f.stall.stop();
  CloseSocket(f);
  // The file gets its name in the folder now (it may have had none so far).
  const QString name = f.file->fileName();
  if (name.isEmpty() || !f.file->flush()) {
    Fail(f, kErrWrite, "The downloaded data could not be stored.");
    return;
  }
  // Without an announced length the figures stay unknown to the end.
  Progress(f, AsyncStatus::EndDownloadData);
  AsyncProperty done;
  done.PropertyName = f.key;
  done.StatusCode = AsyncStatus::EndDownloadData;
  done.BytesRead = static_cast<std::int32_t>(std::min<qint64>(f.written, INT32_MAX));
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
  // which must never happen inside the socket's own signals.
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
  if (!f.announced && status != AsyncStatus::FindingResource) {
    AsyncProperty first;
    first.PropertyName = f.key;
    first.StatusCode = AsyncStatus::FindingResource;
    Post(first, false);
  }
  f.announced = true;
  AsyncProperty prop;
  prop.PropertyName = f.key;
  prop.StatusCode = status;
  prop.BytesRead = static_cast<std::int32_t>(std::min<qint64>(f.written, INT32_MAX));
  prop.BytesMax =
      f.dataBegun && f.expected > 0 ? static_cast<std::int32_t>(std::min<qint64>(f.expected, INT32_MAX)) : 0;
  f.sinceProgress.restart();
  Post(prop, false);
}

void QtAsyncReadService::Fail(Fetch& f, std::int32_t number, const std::string& description) {
  AsyncProperty prop;
  prop.PropertyName = f.key;
  prop.StatusCode = AsyncStatus::Error;
  prop.Failed = true;
  prop.ErrorNumber = number;
  prop.ErrorDescription = description;
  Post(prop, false);
  Drop(f.key, true);
}

void QtAsyncReadService::CloseSocket(Fetch& f) {
  if (!f.socket) return;
  QTcpSocket* socket = f.socket;
  f.socket = nullptr;
  socket->disconnect(this);
  socket->abort();
  // It may be in the middle of one of its own signals.
  socket->deleteLater();
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
  *f->alive = false;
  f->stall.stop();
  CloseSocket(*f);
  if (f->file) {
    f->file->close();
    if (removeFile) f->file->remove();
  }
}
