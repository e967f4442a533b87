#pragma once
// The download controller: the status view around a transfer, the four
// events of the transfer control, Stop and Retry, and the hand-over of a
// finished file. It owns the transfer control and the transfer's state; what
// it needs of the wizard it asks of its host.
#include <cstdint>
#include <memory>
#include <string>

#include "catalog/update_component.hpp"
#include "platform/platform.hpp"
#include "support/error_reporting.hpp"
#include "transfer/u_http.hpp"

// What the download controller needs of the window that hosts it.
class ITransferHost {
 public:
  virtual ~ITransferHost() = default;
  // Draws the progress bar at a whole percentage (0 clears it).
  virtual void ShowProgress(std::int32_t percent) = 0;
  // The text, trimmed, shortened with "..." when wider than width twips.
  virtual std::string ShortenText(const std::string& text, bool middle, std::int16_t width) = 0;
  // Shows the page frame with that index and hides the others.
  virtual void ShowFrame(std::int32_t index) = 0;
  // Focus to the control only when it is enabled and visible; never raises.
  virtual void SetFocusSafe(Ctl control) = 0;
  // Starts the current page's transfer again (the check page or the download
  // page); nothing on other pages.
  virtual void RestartTransfer() = 0;
  // The update-information file sFile has arrived: it is read and the
  // result page shown.
  virtual void UpdateInfoArrived(const std::string& sFile) = 0;
  // The package sFile has arrived: true when it passed its check and the
  // wizard has moved on; false otherwise, with copyFailure saying why the
  // verified copy failed ("" when the check itself failed).
  virtual bool PackageArrived(const std::string& sFile, std::string& copyFailure) = 0;
  // Whether a configured Internet connection is reported. Never raises.
  virtual bool ConnectionState() = 0;
};

class DownloadController : private IHttpEvents {
 public:
  // table: the component table whose entries are transferred; updateHost:
  // the server named in the status line; errors: where the progress
  // handler's run-time errors go.
  DownloadController(const Platform& platform, ITransferHost& host, ComponentTableType& table, std::string updateHost,
                     ErrorReporter& errors);
  ~DownloadController() override;
  DownloadController(const DownloadController&) = delete;
  DownloadController& operator=(const DownloadController&) = delete;

  // Resets the status view before a transfer.
  void ShowTransferStatus();
  // Fetches entry index of the table, taking no more than maxBytes (0: the
  // program's ceiling); it becomes the entry being transferred. watcher (may
  // be null) sees the file's bytes as they are stored.
  void Start(std::int32_t index, std::int64_t maxBytes, std::shared_ptr<IStoredBytes> watcher = nullptr);
  // Drops the transfer of the current entry, whatever stage it is in.
  void Disconnect();
  // Whether a configured Internet connection is reported; the description
  // and the connection's name on request. Never raises.
  bool ConnectionState(std::string* sConnectionInfo, std::string* sConnectionName);
  // Stops any transfer, resets the status view and deletes the downloaded files.
  void StopDownload();
  // Fetches the current page's file again (check or download page).
  void RetryDownload();
  // Stop (0) and Retry (1).
  void cmdLoad_Click(int Index);
  // The text shown to the user for a transfer failure.
  std::string DescribeTransferError(const std::string& sError);
  // Deletes a downloaded file; true when it is gone (or never was). Never raises.
  bool DeleteLocalFile(const std::string& path);
  void DeleteDownloadedFiles();

  // ---- events ----
  void htp_HTTPError(const std::string& sKey, const std::string& sError) override {
    htp_HTTPErrorVia(sKey, sError, "");
  }
  void htp_HTTPErrorVia(const std::string& sKey, const std::string& sError, const std::string& sRoute) override;
  void htp_StatusChange(const std::string& sKey, std::int32_t lStatus) override;
  void htp_DownloadComplete(const std::string& sKey, std::int32_t lType, const std::string& vData) override;
  void htp_ProgressChange(const std::string& sKey, float lProgress, float lProgressMax) override;
  void tmrStatus_Timer();
  void tmrDownload_Timer();

  // ---- state ----
  // The entry of the component table being transferred: 0 the
  // update-information file, 1 the package.
  std::int32_t CurrentIndex = 0;
  std::int32_t ElapsedSeconds = 0;
  float TransferStart = 0;
  // What the last transfer got, for the log, and whether it failed (then
  // the run ends with its own status, whatever the user does next).
  std::int64_t BytesReceived = 0;
  bool LastTransferFailed = false;

 private:
  std::unique_ptr<uHttp> htp;
  IControl& C(Ctl id) { return platform_.window->Control(id); }
  ITimer& T(TimerId id) { return platform_.window->Timer(id); }
  UpdateComponent* Entry(std::int32_t index);

  Platform platform_;
  ITransferHost& host_;
  ComponentTableType& table_;
  const std::string updateHost_;
  ErrorReporter& errors_;
};
