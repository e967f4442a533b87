#pragma once
// The asynchronous read service over Qt Network. Each fetch bypasses every
// cache, streams its body into a file created exclusively in the temporary
// folder, and reports its real stages in order (finding the resource,
// connecting, sending the request, data begins, data ends) on the
// user-interface thread, with progress at most a few dozen times a second.
// HTTP error statuses, refused and dropped connections, short bodies, a
// full disk and stalls are failures with readable descriptions; an error
// page is never delivered as the downloaded file.
//
// The HTTP exchange is the service's own, over a QTcpSocket on the
// user-interface thread: one plain request per connection, the answer read
// straight from the socket into the file. That keeps a large download to
// one copy of its data, and lets the service tell a body that was cut short
// (by its length or its chunks) from one that ended properly.
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <QUrl>
#include <deque>
#include <functional>
#include <map>
#include <memory>

#include "platform/async_read.hpp"

class QTcpSocket;

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
  // A notification waiting for the event loop.
  struct Pending {
    AsyncProperty prop;
    bool complete;
  };
  // Opens a connection for the fetch's current address.
  void Connect(Fetch& fetch);
  void OnConnected(Fetch& fetch);
  void OnReadable(Fetch& fetch);
  // Reads up to limit bytes the socket holds into the answer; false when
  // the fetch ended or moved to another address.
  bool Drain(Fetch& fetch, qint64 limit);
  void OnClosed(Fetch& fetch);
  void OnSocketError(Fetch& fetch);
  // Feeds bytes of the answer to the fetch; false when the fetch ended.
  bool Consume(Fetch& fetch, const char* data, qint64 size);
  bool ConsumeHead(Fetch& fetch, const char*& data, qint64& size);
  bool ConsumeBody(Fetch& fetch, const char*& data, qint64& size);
  bool ConsumeChunked(Fetch& fetch, const char*& data, qint64& size);
  // Decides what the answer's head means; false when the fetch ended or
  // moved to another address.
  bool OnHead(Fetch& fetch);
  void Redirect(Fetch& fetch, const QUrl& to);
  bool Write(Fetch& fetch, const char* data, qint64 size);
  void Finish(Fetch& fetch);
  void Fail(Fetch& fetch, std::int32_t number, const std::string& description);
  // Queues a notification for delivery from the event loop.
  void Post(const AsyncProperty& prop, bool complete);
  void Deliver();
  // Forgets the undelivered notifications that which picks; true when any.
  bool Forget(const std::function<bool(const Pending&)>& which);
  void Progress(Fetch& fetch, std::int32_t status);
  void CloseSocket(Fetch& fetch);
  void Drop(const std::string& key, bool removeFile);

  IAsyncReadHandler* handler_ = nullptr;
  std::map<std::string, std::unique_ptr<Fetch>> fetches_;
  std::deque<Pending> queue_;
  bool deliveryScheduled_ = false;
  int stallMs_ = 60000;
  int progressMs_ = 40;
  QString folder_;
  qint64 writeLimit_ = -1;
};
