#include "platform/qt/qt_async_read.hpp"

#include <QDir>
#include <QNetworkRequest>
#include <QTemporaryFile>
#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "platform/posix/posix_services.hpp"
#include "support/runtime_error.hpp"

namespace {
// Error numbers of failed fetches, after the platform's Internet error codes.
constexpr std::int32_t kErrTimeout = 12002;
constexpr std::int32_t kErrUnrecognizedScheme = 12006;
constexpr std::int32_t kErrNameNotResolved = 12007;
constexpr std::int32_t kErrCannotConnect = 12029;
constexpr std::int32_t kErrConnectionAborted = 12030;
constexpr std::int32_t kErrRedirect = 12156;
constexpr std::int32_t kErrDiskFull = 112;
constexpr std::int32_t kErrWrite = 29;

std::string StatusText(int status, const QByteArray& reason) {
  if (status == 401 || status == 403) return "The access code is invalid.";
  if (status == 404 || status == 410) return "The handle is invalid.";
  std::string text = "The server answered " + std::to_string(status);
  if (!reason.isEmpty()) text += " " + reason.toStdString();
  return text + " instead of the file.";
}
}  // namespace

struct QtAsyncReadService::Fetch {
  std::string key;
  QPointer<QNetworkReply> reply;
  std::unique_ptr<QTemporaryFile> file;
  int fd = -1;
  qint64 written = 0;
  qint64 expected = -1;  // Content-Length, when announced
  bool announced = false;
  bool dataBegun = false;
  int redirects = 0;
  QTimer stall;
  QElapsedTimer sinceProgress;
  std::shared_ptr<bool> alive = std::make_shared<bool>(true);
};

QtAsyncReadService::QtAsyncReadService() {
  manager_.setRedirectPolicy(QNetworkRequest::UserVerifiedRedirectPolicy);
  // No cache is ever consulted or filled.
  manager_.setCache(nullptr);
}

QtAsyncReadService::~QtAsyncReadService() {
  while (!fetches_.empty()) Drop(fetches_.begin()->first, true);
}

void QtAsyncReadService::AsyncRead(const std::string& target, std::int32_t, const std::string& propertyName,
                                   std::int32_t) {
  const QUrl url(QString::fromStdString(target), QUrl::StrictMode);
  if (!url.isValid() || url.scheme() != QLatin1String("http") || url.host().isEmpty())
    throw RuntimeError(kErrUnrecognizedScheme, "The address is not an http:// address: " + target);
  if (fetches_.count(propertyName)) Drop(propertyName, true);

  auto fetch = std::make_unique<Fetch>();
  fetch->key = propertyName;
  const QString folder = folder_.isEmpty() ? QDir::tempPath() : folder_;
  // Created exclusively: an existing name or a planted link is never used.
  fetch->file = std::make_unique<QTemporaryFile>(folder + QStringLiteral("/lkdXXXXXX.tmp"));
  fetch->file->setAutoRemove(false);
  if (!fetch->file->open())
    throw RuntimeError(kErrWrite, "The download could not be stored: no file can be made in " + folder.toStdString() +
                                      ".");
  fetch->fd = fetch->file->handle();
  Fetch& f = *fetch;
  fetches_[propertyName] = std::move(fetch);

  f.stall.setSingleShot(true);
  f.stall.setInterval(stallMs_);
  connect(&f.stall, &QTimer::timeout, this, [this, &f] {
    Fail(f, kErrTimeout,
         "The server stopped sending data: nothing arrived for " + std::to_string(stallMs_ / 1000) + " seconds.");
  });
  Start(f, url);
  // The first stage is reported from the event loop, never from inside this call.
  const std::shared_ptr<bool> alive = f.alive;
  QTimer::singleShot(0, this, [this, &f, alive] {
    if (*alive && !f.announced) Progress(f, AsyncStatus::FindingResource);
  });
}

void QtAsyncReadService::Start(Fetch& f, const QUrl& url) {
  QNetworkRequest request(url);
  request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
  request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
  request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
  request.setRawHeader("Cache-Control", "no-cache");
  request.setRawHeader("Pragma", "no-cache");
  request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Larkspire AutoUpdate"));
  request.setMaximumRedirectsAllowed(kMaxRedirects);
  QNetworkReply* reply = manager_.get(request);
  reply->setReadBufferSize(4 << 20);  // memory stays flat whatever the file's size
  f.reply = reply;
  f.stall.start();
  f.sinceProgress.start();

  connect(reply, &QNetworkReply::socketStartedConnecting, this, [this, &f] { Progress(f, AsyncStatus::Connecting); });
  connect(reply, &QNetworkReply::requestSent, this, [this, &f] { Progress(f, AsyncStatus::SendingRequest); });
  connect(reply, &QNetworkReply::redirected, this, [this, &f](const QUrl& to) {
    // Only plain http:// addresses, and only a few of them.
    if (to.scheme() != QLatin1String("http") || ++f.redirects > kMaxRedirects) {
      Fail(f, kErrRedirect,
           "The server redirected the download to an address that is not allowed: " + to.toString().toStdString());
      return;
    }
    emit f.reply->redirectAllowed();
  });
  connect(reply, &QNetworkReply::metaDataChanged, this, [this, &f] { OnMetaData(f); });
  connect(reply, &QNetworkReply::readyRead, this, [this, &f] { OnReadyRead(f); });
  connect(reply, &QNetworkReply::finished, this, [this, &f] { OnFinished(f); });
}

bool QtAsyncReadService::Notify(const std::string& key, const AsyncProperty& prop, bool complete) {
  auto it = fetches_.find(key);
  const std::shared_ptr<bool> alive = it != fetches_.end() ? it->second->alive : std::make_shared<bool>(false);
  if (handler_) {
    if (complete) handler_->AsyncReadComplete(prop);
    else handler_->AsyncReadProgress(prop);
  }
  return *alive;
}

void QtAsyncReadService::Progress(Fetch& f, std::int32_t status) {
  if (!f.announced && status != AsyncStatus::FindingResource) {
    f.announced = true;
    AsyncProperty first;
    first.PropertyName = f.key;
    first.StatusCode = AsyncStatus::FindingResource;
    if (!Notify(f.key, first, false)) return;
  }
  f.announced = true;
  f.stall.start();
  AsyncProperty prop;
  prop.PropertyName = f.key;
  prop.StatusCode = status;
  prop.BytesRead = static_cast<std::int32_t>(std::min<qint64>(f.written, INT32_MAX));
  prop.BytesMax = f.expected > 0 ? static_cast<std::int32_t>(std::min<qint64>(f.expected, INT32_MAX)) : 0;
  f.sinceProgress.restart();
  Notify(f.key, prop, false);
}

void QtAsyncReadService::OnMetaData(Fetch& f) {
  if (!f.reply) return;
  const QVariant statusAttr = f.reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
  if (!statusAttr.isValid()) return;
  const int status = statusAttr.toInt();
  if (status >= 300 && status < 400) return;  // a redirect: its target answers next
  if (status >= 400 || status < 200) {
    Fail(f, status, StatusText(status, f.reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray()));
    return;
  }
  const QVariant length = f.reply->header(QNetworkRequest::ContentLengthHeader);
  f.expected = length.isValid() ? length.toLongLong() : -1;
  if (!f.dataBegun) {
    f.dataBegun = true;
    Progress(f, AsyncStatus::BeginDownloadData);
  }
}

bool QtAsyncReadService::WriteBody(Fetch& f) {
  char buffer[256 * 1024];
  while (f.reply && f.reply->bytesAvailable() > 0) {
    const qint64 n = f.reply->read(buffer, sizeof buffer);
    if (n <= 0) break;
    qint64 done = 0;
    while (done < n) {
      ssize_t w;
      if (writeLimit_ >= 0 && f.written + (n - done) > writeLimit_) {
        w = -1;
        errno = ENOSPC;
      } else {
        w = ::write(f.fd, buffer + done, static_cast<std::size_t>(n - done));
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
  }
  return true;
}

void QtAsyncReadService::OnReadyRead(Fetch& f) {
  if (!f.reply || !f.dataBegun) return;
  const std::shared_ptr<bool> alive = f.alive;
  if (!WriteBody(f) || !*alive) return;
  f.stall.start();
  if (f.sinceProgress.elapsed() >= progressMs_) Progress(f, AsyncStatus::DownloadingData);
}

void QtAsyncReadService::OnFinished(Fetch& f) {
  if (!f.reply) return;
  const std::shared_ptr<bool> alive = f.alive;
  const QNetworkReply::NetworkError error = f.reply->error();
  if (error == QNetworkReply::NoError) {
    if (!f.dataBegun) OnMetaData(f);
    if (!*alive) return;
    if (!WriteBody(f) || !*alive) return;
  }
  if (error != QNetworkReply::NoError) {
    const int status = f.reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    switch (error) {
      case QNetworkReply::OperationCanceledError: return;  // ended by us
      case QNetworkReply::HostNotFoundError:
        Fail(f, kErrNameNotResolved, "The server name or address could not be resolved");
        return;
      case QNetworkReply::ConnectionRefusedError:
        Fail(f, kErrCannotConnect, "The server refused the connection.");
        return;
      case QNetworkReply::RemoteHostClosedError:
        Fail(f, kErrConnectionAborted, "The server closed the connection before the download was complete.");
        return;
      case QNetworkReply::TimeoutError:
        Fail(f, kErrTimeout, "The server did not answer in time.");
        return;
      case QNetworkReply::TooManyRedirectsError:
        Fail(f, kErrRedirect, "The server redirected the download too many times.");
        return;
      default:
        if (status >= 400) {
          Fail(f, status, StatusText(status, f.reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray()));
        } else {
          Fail(f, kErrConnectionAborted, "The download failed: " + f.reply->errorString().toStdString() + ".");
        }
        return;
    }
  }
  if (f.expected >= 0 && f.written != f.expected) {
    Fail(f, kErrConnectionAborted,
         "The download ended early: " + std::to_string(f.written) + " of " + std::to_string(f.expected) +
             " bytes arrived.");
    return;
  }
  if (::fsync(f.fd) != 0 && (errno == ENOSPC || errno == EDQUOT)) {
    Fail(f, kErrDiskFull, "Not enough storage is available to process this command.");
    return;
  }
  f.stall.stop();
  if (f.expected < 0) f.expected = f.written;
  Progress(f, AsyncStatus::EndDownloadData);
  if (!*alive) return;
  AsyncProperty done;
  done.PropertyName = f.key;
  done.StatusCode = AsyncStatus::EndDownloadData;
  done.BytesRead = static_cast<std::int32_t>(std::min<qint64>(f.written, INT32_MAX));
  done.BytesMax = done.BytesRead;
  done.Path = PosixFileSystem::FromNative(f.file->fileName().toStdString());
  const std::string key = f.key;
  // The file now belongs to the receiver; the fetch is over.
  Drop(key, false);
  Notify(key, done, true);
}

void QtAsyncReadService::Fail(Fetch& f, std::int32_t number, const std::string& description) {
  const std::string key = f.key;
  Drop(key, true);
  AsyncProperty prop;
  prop.PropertyName = key;
  prop.StatusCode = AsyncStatus::Error;
  prop.Failed = true;
  prop.ErrorNumber = number;
  prop.ErrorDescription = description;
  Notify(key, prop, false);
}

void QtAsyncReadService::CancelAsyncRead(const std::string& propertyName) {
  if (!fetches_.count(propertyName)) throw RuntimeError(kErrWrite, "No download is running under that key.");
  Drop(propertyName, true);
}

void QtAsyncReadService::Drop(const std::string& key, bool removeFile) {
  auto it = fetches_.find(key);
  if (it == fetches_.end()) return;
  std::unique_ptr<Fetch> f = std::move(it->second);
  fetches_.erase(it);
  *f->alive = false;
  f->stall.stop();
  if (f->reply) {
    f->reply->disconnect(this);
    f->reply->abort();
    f->reply->deleteLater();
  }
  if (f->file) {
    f->file->close();
    if (removeFile) f->file->remove();
  }
}
