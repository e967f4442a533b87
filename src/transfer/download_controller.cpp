// The download controller: the status view around a transfer, the four
// events of the transfer control, Stop and Retry, and the hand-over of a
// finished file.
#include "transfer/download_controller.hpp"

#include <algorithm>

#include "install_state/path_helpers.hpp"
#include "support/app_texts.hpp"
#include "support/diagnostics.hpp"
#include "support/frm_error.hpp"
#include "transfer/transfer_text.hpp"

DownloadController::DownloadController(const Platform& platform, ITransferHost& host, ComponentTableType& table,
                                       std::string updateHost, ErrorReporter& errors)
    : platform_(platform), host_(host), table_(table), updateHost_(std::move(updateHost)), errors_(errors) {
  htp = std::make_unique<uHttp>(*platform_.reader, *platform_.connection, *platform_.events,
                                static_cast<IHttpEvents&>(*this));
}

DownloadController::~DownloadController() = default;

UpdateComponent* DownloadController::Entry(std::int32_t index) {
  if (index < 0 || static_cast<std::size_t>(index) >= table_.size()) return nullptr;
  return &table_[static_cast<std::size_t>(index)];
}

void DownloadController::Start(std::int32_t index, std::int64_t maxBytes, std::shared_ptr<IStoredBytes> watcher) {
  CurrentIndex = index;
  if (const UpdateComponent* entry = Entry(index))
    htp->Download(entry->sSourceUrl, entry->sSourceUrl, maxBytes, std::move(watcher));
}

void DownloadController::Disconnect() {
  const UpdateComponent* entry = Entry(CurrentIndex);
  htp->Disconnect(entry ? entry->sSourceUrl : std::string());
}

bool DownloadController::ConnectionState(std::string* sConnectionInfo, std::string* sConnectionName) {
  return htp->ConnectionState(sConnectionInfo, sConnectionName);
}

void DownloadController::ShowTransferStatus() {
  LastTransferFailed = false;
  BytesReceived = 0;
  host_.ShowProgress(0);
  C(Ctl::picLoad).SetEnabled(true);
  C(Ctl::Cmd0).SetEnabled(false);
  C(Ctl::Cmd1).SetEnabled(false);
  C(cmdLoad(0)).SetEnabled(true);
  C(cmdLoad(1)).SetEnabled(false);
  C(Ctl::Label1_3).SetCaption("Attempting to connect to " + updateHost_);
  C(Ctl::Label2_3).SetCaption("Percent of download complete:");
  static const char* const kStatus[] = {"Download status:", "Time remaining:", "Time elapsed:", "Transfer rate:"};
  for (int i = 0; i < 4; ++i) {
    C(lblStatus(i)).SetCaption(kStatus[i]);
    C(lblInfo(i)).SetCaption("");
  }
  host_.ShowFrame(3);
  host_.SetFocusSafe(cmdLoad(0));
}

void DownloadController::StopDownload() {
  T(TimerId::tmrStatus).SetEnabled(false);
  // A file that completed while the stop question was open is not handed
  // over after the stop.
  T(TimerId::tmrDownload).SetEnabled(false);
  host_.ShowProgress(0);
  C(Ctl::picLoad).SetEnabled(false);
  C(Ctl::Label1_3).SetCaption("Download stopped");
  for (int i = 0; i < 4; ++i) C(lblInfo(i)).SetCaption("");
  C(cmdLoad(0)).SetEnabled(false);
  C(cmdLoad(1)).SetEnabled(true);
  C(Ctl::Cmd0).SetEnabled(false);
  C(Ctl::Cmd1).SetEnabled(false);
  C(Ctl::Cmd2).SetEnabled(true);
  Disconnect();
  DeleteDownloadedFiles();
  host_.SetFocusSafe(cmdLoad(1));
}

void DownloadController::RetryDownload() {
  C(cmdLoad(0)).SetEnabled(true);
  C(cmdLoad(1)).SetEnabled(false);
  host_.RestartTransfer();
  host_.SetFocusSafe(Ctl::Cmd2);
}

void DownloadController::cmdLoad_Click(int Index) {
  if (Index == CmdLoadStop) {
    // No is the default: Enter on a Stop pressed by mistake keeps the
    // download. The transfer goes on while the question is open and may end
    // meanwhile, its file handed over and the next page shown, or its failure
    // reported: a Yes then has nothing left to stop and leaves that page as it
    // is. Until the hand-over (Stop still on, or the file waiting for the
    // deferral) a Yes stops the transfer.
    const int answer = platform_.messageBox->MsgBox("Are you sure you want to stop this download?",
                                                    Mb::YesNo | Mb::Question | Mb::DefaultButton2, AppTitle);
    if (answer == Mb::Yes && (C(cmdLoad(0)).Enabled() || T(TimerId::tmrDownload).Enabled())) StopDownload();
  } else if (Index == CmdLoadRetry) {
    RetryDownload();
  }
}

std::string DownloadController::DescribeTransferError(const std::string& sError) {
  return DescribeTransferErrorText(
      sError, [](void* host) { return static_cast<ITransferHost*>(host)->ConnectionState(); }, &host_);
}

bool DownloadController::DeleteLocalFile(const std::string& path) {
  try {
    // A file that is not there is as good as deleted.
    if (FileExists(*platform_.files, path)) {
      platform_.files->SetAttr(path, Attr::Normal);
      platform_.files->Kill(path);
    }
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

void DownloadController::DeleteDownloadedFiles() {
  for (UpdateComponent& entry : table_) {
    DeleteLocalFile(entry.sDownloadedFile);
    entry.sDownloadedFile.clear();
  }
}

void DownloadController::htp_StatusChange(const std::string&, std::int32_t lStatus) {
  std::string text;
  switch (lStatus) {
    case tsConnecting:
      text = "Attempting to connect to " + updateHost_;
      break;
    case tsSendingRequest:
      text = "Sending request...";
      break;
    case tsLocatingFile:
      text = "Locating file...";
      break;
    case tsDownloading: {
      const UpdateComponent* entry = Entry(CurrentIndex);
      const auto width = static_cast<std::int16_t>(C(Ctl::Label1_3).Geometry().Width - 240);
      text = "Downloading " + host_.ShortenText(entry ? entry->sFileName : std::string(), true, width);
      ElapsedSeconds = 0;
      TransferStart = static_cast<float>(platform_.clock->Timer());
      T(TimerId::tmrStatus).SetEnabled(true);
      break;
    }
    case tsCompleted:
      text = "Download completed successfully!";
      T(TimerId::tmrStatus).SetEnabled(false);
      ElapsedSeconds = 0;
      break;
    case tsStopped:
      text = "Download stopped";
      T(TimerId::tmrStatus).SetEnabled(false);
      ElapsedSeconds = 0;
      TransferStart = 0;
      break;
    default:
      return;
  }
  if (C(Ctl::Label1_3).Caption() != text) C(Ctl::Label1_3).SetCaption(text);
}

void DownloadController::htp_ProgressChange(const std::string&, float lProgress, float lProgressMax) {
  try {
    BytesReceived = static_cast<std::int64_t>(lProgress);
    if (lProgress == 0) return;
    const float percent = lProgressMax > 0 ? lProgress * 100.0f / lProgressMax : 0.0f;
    host_.ShowProgress(CheckedRound(percent));
    // Drawing the bar lets the window work: a Stop confirmed meanwhile has
    // emptied the view, and these figures must not come back on it.
    if (!C(Ctl::picLoad).Enabled()) return;
    C(lblInfo(0))
        .SetCaption(FormatFixed2(lProgress / 1024.0f) + " KB" + " of " + FormatFixed2(lProgressMax / 1024.0f) + " KB");
    float elapsed = static_cast<float>(platform_.clock->Timer()) - TransferStart;
    if (elapsed < 1) elapsed = 1;
    float rate = (lProgress / elapsed) / 1024.0f;
    if (rate < 1) rate = 1;
    // A server that sends more than it announced has nothing left to wait for.
    const float remaining = std::max(0.0f, ((lProgressMax - lProgress) / 1024.0f) / rate);
    C(lblInfo(1)).SetCaption(FormatDuration(remaining));
    if (percent == 100) C(lblInfo(1)).SetCaption("0.00");
    if (C(lblInfo(2)).Caption().empty()) C(lblInfo(2)).SetCaption("0:00");
    C(lblInfo(3)).SetCaption(FormatFixed2(rate) + " Kbps");
  } catch (const std::exception& e) {
    errors_.HandleUnexpectedError(ModuleProgress, AsRuntimeError(e));
  }
}

void DownloadController::tmrStatus_Timer() {
  ++ElapsedSeconds;
  C(lblInfo(2)).SetCaption(FormatDuration(static_cast<float>(ElapsedSeconds)));
}

void DownloadController::htp_DownloadComplete(const std::string& sKey, std::int32_t lType, const std::string& vData) {
  C(cmdLoad(0)).SetEnabled(false);
  C(cmdLoad(1)).SetEnabled(false);
  T(TimerId::tmrStatus).SetEnabled(false);
  platform_.events->Sleep(500);
  try {
    UpdateComponent* entry = Entry(CurrentIndex);
    if (lType == 1 && entry && FileExists(*platform_.files, vData)) {
      platform_.files->SetAttr(vData, Attr::ReadOnly | Attr::Hidden);
      entry->sDownloadedFile = vData;
      LogInfo(LogArea::Transfer, "fetched " + sKey + ": " + std::to_string(platform_.files->OpenRead(vData)->Length()) +
                                     " bytes in " + platform_.files->NativePath(vData));
      T(TimerId::tmrDownload).SetEnabled(true);
      return;
    }
  } catch (const std::exception&) {
  }
  // A delivered file that is not taken is not kept either.
  if (lType == 1) DeleteLocalFile(vData);
  htp_HTTPError(sKey, "The downloaded file was corrupt");
}

void DownloadController::tmrDownload_Timer() {
  T(TimerId::tmrDownload).SetEnabled(false);
  const UpdateComponent* entry = Entry(CurrentIndex);
  const std::string path = entry ? entry->sDownloadedFile : std::string();
  std::string copyFailure;
  if (CurrentIndex == 0) {
    host_.UpdateInfoArrived(path);
  } else if (!host_.PackageArrived(path, copyFailure)) {
    htp_HTTPError(entry ? entry->sSourceUrl : std::string(),
                  copyFailure.empty() ? "The downloaded file was corrupt" : copyFailure);
  }
}

void DownloadController::htp_HTTPErrorVia(const std::string& sKey, const std::string& sError,
                                          const std::string& sRoute) {
  LastTransferFailed = true;
  const std::string route = sRoute.empty() ? "" : " " + sRoute;
  LogFailure(LogArea::Transfer, (sKey.empty() ? std::string("the transfer") : sKey) + ": " + sError + route + " (" +
                                    std::to_string(BytesReceived) + " bytes received)");
  StopDownload();
  const std::string text = DescribeTransferError(sError) + route;
  std::unique_ptr<IErrorDialogView> view = platform_.dialogs->CreateErrorDialog();
  frmError dialog(*view);
  dialog.Init(text);
  dialog.Form_Load();
  view->ShowModal();
}
