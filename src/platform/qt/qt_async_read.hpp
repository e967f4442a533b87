#pragma once
// The asynchronous read service over Qt Network. Each fetch bypasses every
// cache, streams its body into a file created exclusively in the temporary
// folder, and reports its real stages in order (finding the resource,
// connecting, sending the request, data begins, data ends) on the
// user-interface thread, with progress at most a few dozen times a second.
// HTTP error statuses, refused and dropped connections, short bodies, a
// full disk and stalls are failures with readable descriptions; an error
// page is never delivered as the downloaded file.
#include <QElapsedTimer>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <map>
#include <memory>

#include "platform/async_read.hpp"

class QtAsyncReadService : public QObject, public IAsyncReadService {
 public:
  QtAsyncReadService();
  ~QtAsyncReadService() override;

  void SetHandler(IAsyncReadHandler* handler) override { handler_ = handler; }
  void AsyncRead(const std::string& target, std::int32_t asyncType, const std::string& propertyName,
                 std::int32_t options) override;
  void CancelAsyncRead(const std::string& propertyName) override;

  // How long a fetch may go without data before it fails (60 s).
  void SetStallTimeout(int milliseconds) { stallMs_ = milliseconds; }
  // Least time between two progress notifications while data arrives.
  void SetProgressInterval(int milliseconds) { progressMs_ = milliseconds; }
  // Where the fetched files go (the temporary folder by default).
  void SetDownloadFolder(const QString& folder) { folder_ = folder; }
  // Makes writes fail as on a full disk once this many bytes are written
  // (for tests of that path where no small file system can be mounted).
  void SetWriteLimitForTesting(qint64 bytes) { writeLimit_ = bytes; }

  static constexpr int kMaxRedirects = 5;

 private:
  struct Fetch;
  void Start(Fetch& fetch, const QUrl& url);
  void OnMetaData(Fetch& fetch);
  void OnReadyRead(Fetch& fetch);
  void OnFinished(Fetch& fetch);
  void Fail(Fetch& fetch, std::int32_t number, const std::string& description);
  // Delivers a notification; false when the fetch was ended meanwhile.
  bool Notify(const std::string& key, const AsyncProperty& prop, bool complete);
  void Progress(Fetch& fetch, std::int32_t status);
  void Drop(const std::string& key, bool removeFile);
  bool WriteBody(Fetch& fetch);

  QNetworkAccessManager manager_;
  IAsyncReadHandler* handler_ = nullptr;
  std::map<std::string, std::unique_ptr<Fetch>> fetches_;
  int stallMs_ = 60000;
  int progressMs_ = 40;
  QString folder_;
  qint64 writeLimit_ = -1;
};
