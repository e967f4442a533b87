#pragma once
// The asynchronous read service: libcurl's multi interface driven by the Qt
// event loop on the user-interface thread (its sockets watched by
// QSocketNotifier, its timer a QTimer; no thread of the service's own).
// Each fetch goes through the proxy the environment names (proxy_env.hpp),
// bypasses every cache, follows at most five redirects to http://
// addresses, streams its body into a file created exclusively in the
// temporary folder, and reports its real stages in order (finding the
// resource, connecting, sending the request, data begins, data ends) with
// progress at most a few dozen times a second. HTTP error statuses, refused
// and dropped connections, cut and malformed bodies, answers that break the
// protocol, a full disk and stalls are failures with readable descriptions;
// an error page is never delivered as the downloaded file. A body the
// server sends content-coded anyway is stored decoded.
#include <curl/curl.h>

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <deque>
#include <functional>
#include <map>
#include <memory>

#include "platform/async_read.hpp"

class QSocketNotifier;

class QtAsyncReadService : public QObject, public IAsyncReadService {
 public:
  QtAsyncReadService();
  ~QtAsyncReadService() override;

  void SetHandler(IAsyncReadHandler* handler) override { handler_ = handler; }
  void AsyncRead(const std::string& target, std::int32_t asyncType, const std::string& propertyName,
                 std::int32_t options) override;
  void CancelAsyncRead(const std::string& propertyName) override;

  // How long a fetch may take to connect, or receive less than
  // kStallBytesPerSecond, before it fails (60 s).
  void SetStallLimit(int seconds) { stallSeconds_ = seconds; }
  // Least time between two progress notifications while data arrives.
  void SetProgressInterval(int milliseconds) { progressMs_ = milliseconds; }
  // Where the fetched files go (the temporary folder by default).
  void SetDownloadFolder(const QString& folder) { folder_ = folder; }

  static constexpr int kMaxRedirects = 5;
  static constexpr long kStallBytesPerSecond = 100;

 private:
  struct Fetch;
  // A notification waiting for the event loop.
  struct Pending {
    AsyncProperty prop;
    bool complete;
  };
  struct Watch {
    QSocketNotifier* read = nullptr;
    QSocketNotifier* write = nullptr;
  };

  // libcurl's callbacks; userdata is the fetch (or the service for the
  // multi handle's own).
  static int OnSocket(CURL* easy, curl_socket_t socket, int what, void* service, void* socketData);
  static int OnTimer(CURLM* multi, long milliseconds, void* service);
  static int OnSocketOpened(void* fetch, curl_socket_t socket, curlsocktype purpose);
  static int OnRequestReady(void* fetch, char* remoteIp, char* localIp, int remotePort, int localPort);
  static size_t OnHeader(char* data, size_t size, size_t count, void* fetch);
  static size_t OnBody(char* data, size_t size, size_t count, void* fetch);

  void WatchSocket(curl_socket_t socket, int what);
  // Lets libcurl act on a socket (or on its timer) and ends the fetches it
  // has finished.
  void Act(curl_socket_t socket, int events);
  bool Head(Fetch& fetch, const std::string& line);
  size_t Body(Fetch& fetch, const char* data, size_t size);
  void Ended(Fetch& fetch, CURLcode result);
  std::string Describe(Fetch& fetch, CURLcode result, std::int32_t* number);
  void Finish(Fetch& fetch);
  void Fail(Fetch& fetch, std::int32_t number, const std::string& description);
  // Queues a notification for delivery from the event loop.
  void Post(const AsyncProperty& prop, bool complete);
  void Deliver();
  // Forgets the undelivered notifications that which picks; true when any.
  bool Forget(const std::function<bool(const Pending&)>& which);
  void Progress(Fetch& fetch, std::int32_t status);
  void Drop(const std::string& key, bool removeFile);

  IAsyncReadHandler* handler_ = nullptr;
  CURLM* multi_ = nullptr;
  QTimer timer_;
  std::map<curl_socket_t, Watch> watches_;
  std::map<std::string, std::unique_ptr<Fetch>> fetches_;
  std::deque<Pending> queue_;
  bool deliveryScheduled_ = false;
  int stallSeconds_ = 60;
  int progressMs_ = 40;
  QString folder_;
};
