#pragma once
// libcurl's multi interface driven by the Qt event loop on the
// user-interface thread: its sockets watched by QSocketNotifier, its timer a
// QTimer, no thread of its own. Each transfer that libcurl finishes is
// handed to the owner's callback, from the event loop.
#include <curl/curl.h>

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>

#include "backends/libcurl/curl_handles.hpp"

class CurlQtDriver : public QObject {
 public:
  using Done = std::function<void(CURL* easy, CURLcode result)>;
  explicit CurlQtDriver(Done onDone);
  ~CurlQtDriver() override;

  // Starts a transfer, from libcurl's timer: never inside this call.
  void Add(CURL* easy);
  // Stops a transfer; nothing more is heard of it.
  void Remove(CURL* easy);

 private:
  // A notifier whose signal may be running when libcurl lets go of its
  // socket, so it is deleted from the event loop.
  struct DeleteLater {
    void operator()(QSocketNotifier* notifier) const;
  };
  using Notifier = std::unique_ptr<QSocketNotifier, DeleteLater>;
  struct Watch {
    Notifier read, write;
  };

  static int OnSocket(CURL* easy, curl_socket_t socket, int what, void* driver, void* socketData);
  static int OnTimer(CURLM* multi, long milliseconds, void* driver);
  void WatchSocket(curl_socket_t socket, int what);
  // Lets libcurl act on a socket (or on its timer) and hands over the
  // transfers it has finished.
  void Act(curl_socket_t socket, int events);

  Done onDone_;
  CurlMulti multi_;
  QTimer timer_;
  std::map<curl_socket_t, Watch> watches_;
};
