#pragma once
// uHttp: fetches one URL at a time through the platform's asynchronous read
// service and reports the fetch as four events. The data is never held in
// memory: the service writes it to a local file whose path is handed on.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/async_read_service.hpp"
#include "platform/connection.hpp"
#include "platform/event_loop.hpp"

// The stages a transfer reports through StatusChange.
enum TransferStatus : std::int32_t {
  tsConnecting = 0,
  tsSendingRequest = 1,
  tsLocatingFile = 2,
  tsDownloading = 3,
  tsCompleted = 4,
  tsStopped = 5
};

// The events of the transfer control, handled by the main window.
// The local file a completion names; raises the fetch's failure as a
// run-time error (its number and description) when it failed.
std::string AsyncValue(const AsyncProperty& prop);

class IHttpEvents {
 public:
  virtual ~IHttpEvents() = default;
  virtual void htp_HTTPError(const std::string& sKey, const std::string& sError) = 0;
  // A failure whose fetch did not go straight to the server: sRoute says
  // which way it went and is told after the failure's own words, which are
  // worded alone.
  virtual void htp_HTTPErrorVia(const std::string& sKey, const std::string& sError, const std::string& sRoute) {
    htp_HTTPError(sKey, sError + " " + sRoute);
  }
  virtual void htp_StatusChange(const std::string& sKey, std::int32_t lStatus) = 0;
  virtual void htp_DownloadComplete(const std::string& sKey, std::int32_t lType, const std::string& vData) = 0;
  virtual void htp_ProgressChange(const std::string& sKey, float lProgress, float lProgressMax) = 0;
};

class uHttp : public IAsyncReadHandler {
 public:
  uHttp(IAsyncReadService& reader, IConnectionService& connection, IEventLoop& events, IHttpEvents& sink);
  ~uHttp() override;
  uHttp(const uHttp&) = delete;
  uHttp& operator=(const uHttp&) = delete;

  // Starts fetching sUrl under sKey, a file of at most lMaxBytes bytes (0:
  // as many as the server announces), whose bytes watcher (may be null) sees
  // as they are stored. False (after HTTPError) when it could not start.
  bool Download(const std::string& sUrl, const std::string& sKey, std::int64_t lMaxBytes,
                std::shared_ptr<IStoredBytes> watcher = nullptr);
  // Whether a configured Internet connection is reported. Never raises.
  bool ConnectionState(std::string* sConnectionInfo = nullptr, std::string* sConnectionName = nullptr);
  // Cancels the fetch of sKey, if any; always false.
  bool Disconnect(const std::string& sKey);

  std::int32_t Width() const;
  void Width(std::int32_t lWidth) { width_ = lWidth; }
  std::int32_t Height() const;
  void Height(std::int32_t lHeight) { height_ = lHeight; }
  // The design-view label: only shown outside a running program, which this never is.
  bool DesignLabelVisible() const { return false; }

  void AsyncReadProgress(const AsyncProperty& prop) override;
  void AsyncReadComplete(const AsyncProperty& prop) override;

  // The status a read-service code maps to (tsConnecting also for codes
  // that report nothing: connecting is announced by the status view itself).
  static std::int32_t MapStatus(std::int32_t statusCode);

 private:
  IAsyncReadService& reader_;
  IConnectionService& connection_;
  IEventLoop& events_;
  IHttpEvents& sink_;
  double width_ = 0;
  double height_ = 0;
};
