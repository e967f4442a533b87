#pragma once
// The asynchronous read service on libcurl, on the Qt event loop. Each fetch
// goes through the proxy the environment names (proxy_env.hpp), bypasses
// every cache, follows at most five redirects (to http:// or https://, never
// from https:// back to http://), checks certificates against the system's
// trust store, streams
// its body into a file created exclusively in the temporary folder, and
// reports its real stages in order (finding the resource, connecting,
// sending the request, data begins, data ends) with progress at most a few
// dozen times a second. HTTP error statuses, refused and dropped
// connections, cut and malformed bodies, answers that break the protocol, a
// file past its size bound, a full disk and stalls are failures with readable descriptions
// (fetch_errors.hpp); an error page is never delivered as the downloaded
// file. A body the server sends content-coded anyway is stored decoded.
#include <QObject>
#include <QString>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "backends/libcurl/curl_qt_driver.hpp"
#include "backends/libcurl/fetch.hpp"
#include "platform/async_read_service.hpp"

class QtAsyncReadService : public QObject, public IAsyncReadService {
 public:
  QtAsyncReadService();
  ~QtAsyncReadService() override;

  void SetHandler(IAsyncReadHandler* handler) override { handler_ = handler; }
  void AsyncRead(const std::string& target, std::int32_t asyncType, const std::string& propertyName,
                 std::int32_t options, std::int64_t maxBytes, std::shared_ptr<IStoredBytes> watcher) override;
  void CancelAsyncRead(const std::string& propertyName) override;

  // The rules of the fetches started from now on: stall limit, progress
  // interval, size ceiling, disk reserve and deadline (transfer_rules.hpp).
  TransferSettings& Settings() { return settings_; }
  // Where the fetched files go (the temporary folder by default).
  void SetDownloadFolder(const QString& folder) { folder_ = folder; }

 private:
  // A notification waiting for the event loop.
  struct Pending {
    AsyncProperty prop;
    bool complete;
  };

  void Ended(CURL* easy, CURLcode result);
  void Finish(Fetch& fetch);
  void Fail(Fetch& fetch, const FetchFailure& failed);
  // Queues a notification for delivery from the event loop.
  void Post(const AsyncProperty& prop, bool complete);
  void Deliver();
  // Forgets the undelivered notifications that which picks; true when any.
  bool Forget(const std::function<bool(const Pending&)>& which);
  void Progress(Fetch& fetch, std::int32_t status);
  void Drop(const std::string& key, bool removeFile);

  IAsyncReadHandler* handler_ = nullptr;
  TransferSettings settings_;
  QString folder_;
  std::map<std::string, std::unique_ptr<Fetch>> fetches_;
  std::deque<Pending> queue_;
  bool deliveryScheduled_ = false;
  // Made for the first fetch, when libcurl is loaded (curl_on_demand.hpp).
  std::unique_ptr<CurlQtDriver> driver_;
};
