#pragma once
// frmMain: the wizard's main window. It owns the program's state for the
// whole run; its procedures live in the folders of the subsystems they
// belong to (navigation and drawing in wizard/, discovery in
// install_state/, the catalog in catalog/, transfers in transfer/, the
// integrity check and hand-off in install/, error reports in support/).
#include <cstdint>
#include <memory>
#include <string>

#include "catalog/update_component.hpp"
#include "install_state/installed_state.hpp"
#include "platform/platform.hpp"
#include "support/c_registry.hpp"
#include "support/error_reporting.hpp"
#include "support/runtime_error.hpp"
#include "transfer/u_http.hpp"

inline constexpr const char* AppTitle = "Larkspire AutoUpdate";
inline constexpr const char* ErrorTitle = "Larkspire AutoUpdate - Error";

// The page numbers held in CurrentPage.
enum WizardPage {
  PageWelcome = 1,
  PagePrepare = 2,
  PageCheck = 3,
  PageRecheck = 4,
  PageResult = 5,
  PageDownload = 6,
  PageReady = 7
};

class frmMain : private IHttpEvents {
 public:
  frmMain(const Platform& platform, std::string updateHost);
  ~frmMain() override;

  // ---- controller: events ----
  // Start-up. Run-time errors are reported as unexpected errors ("0002").
  void Form_Load();
  // Previous (0), Next (1), Cancel (2).
  void Cmd_Click(int Index);
  // The window is about to close; cancel = 1 keeps it open. unloadMode 0
  // means the user closes it from the title bar or system menu.
  void Form_QueryUnload(int& cancel, int unloadMode);
  void Form_Resize();
  // The window has closed: the transfer stops and the downloaded files go;
  // the verified copy in the product folder stays for the installer.
  void Form_Unload();

  // ---- controller: procedures ----
  void ShowPage(std::int32_t page);
  // Asks, when needed, whether the user wants to leave; true lets the window close.
  bool ConfirmExit(std::int32_t page);
  void ShowFrame(std::int32_t index);
  // Focus to the control only when it is enabled and visible; never raises.
  void SetFocusSafe(Ctl control);

  // ---- pages ----
  void ShowWelcomePage();
  void ShowPreparePage();
  void ShowCheckPage();
  void ShowResultPage(CatalogResult result);
  void ShowDownloadPage();
  void ShowReadyPage();

  // ---- layout and drawing ----
  void DrawHeader(const std::string& title, std::int32_t size);
  void ShowProgress(std::int32_t percent);
  // The text, trimmed, shortened with "..." when wider than width twips.
  std::string ShortenText(const std::string& text, bool middle, std::int16_t width);

  // ---- installed-product discovery ----
  // Reads what is installed into State; shows the stop message and ends the
  // program when the product is not installed properly. Raises run-time
  // errors to the start-up procedure.
  void ReadInstalledState();
  // The picture of an embedded resource, or nullptr. Never raises.
  std::shared_ptr<Picture> LoadResourcePicture(const std::string& name);

  // ---- update catalog ----
  // Validates the downloaded update-information file sFile, fills the
  // component table, sets CurrentPage to 5 and shows the result page.
  void ReadUpdateInfo(const std::string& sFile);
  // A value of the downloaded update-information file; "" when missing.
  std::string GetIniValue(const std::string& sSection, const std::string& sKey);
  // Row sKey's catalog version (normalised in place) against the installed one.
  bool IsNewerVersion(int sKey, std::string& sVersion);

  // ---- transfers ----
  // Whether a configured Internet connection is reported; the description
  // and the connection's name on request. Never raises.
  bool ConnectionState(std::string* sConnectionInfo = nullptr, std::string* sConnectionName = nullptr);
  // Stops any transfer and resets the status view.
  void StopDownload();
  // Resets the status view before a transfer.
  void ShowTransferStatus();
  // Fetches the current page's file again (check or download page).
  void RetryDownload();
  // The text shown to the user for a transfer failure.
  std::string DescribeTransferError(const std::string& sError);
  // Deletes a downloaded file; true when it is gone (or never was). Never raises.
  bool DeleteLocalFile(const std::string& path);
  void DeleteDownloadedFiles();

  // ---- transfers: events ----
  void htp_HTTPError(const std::string& sKey, const std::string& sError) override;
  void htp_StatusChange(const std::string& sKey, std::int32_t lStatus) override;
  void htp_DownloadComplete(const std::string& sKey, std::int32_t lType, const std::string& vData) override;
  void htp_ProgressChange(const std::string& sKey, float lProgress, float lProgressMax) override;
  void tmrStatus_Timer();
  void tmrDownload_Timer();
  // Stop (0) and Retry (1).
  void cmdLoad_Click(int Index);

  // ---- integrity check and installer hand-off ----
  // Checks the CRC-32 of the downloaded file of entry CurrentIndex and
  // copies it into the product folder. Never raises. When the check passed
  // but the copy failed, CopyFailure says why and where.
  bool VerifyDownload(const std::string& sFile);
  // Registers the window message shared with the product's programs; raises
  // -2147220504 after ten attempts without an identifier.
  void RegisterMessages();
  // Whether the installer service is present; on false shows the warning page.
  bool CheckWindowsInstaller();
  // Tells the product's running programs to close; false when not sent.
  bool NotifyRunningPrograms();
  // Hands the verified package to the installer and closes the window.
  bool RunInstall();

  // ---- error reporting ----
  // Reports an unexpected run-time error caught in module sModule; asks
  // whether to go on and ends the program on No or at the fifth error.
  void HandleUnexpectedError(const std::string& sModule, const RuntimeError& error);

  // ---- state ----
  std::unique_ptr<cRegistry> Registry;
  InstalledState State;
  ComponentTableType ComponentTable;
  std::int32_t CurrentPage = 0;
  std::int32_t CurrentIndex = 0;
  std::int32_t ElapsedSeconds = 0;
  float TransferStart = 0;
  std::unique_ptr<uHttp> htp;
  bool RecheckPending = false;
  bool CloseWithoutConfirm = false;
  std::int32_t MsgGeneral = 0;
  std::int16_t ErrorCount = 0;
  std::string MessageText;
  // Why the last verified package could not be copied ("" when it was, or
  // when the check itself failed).
  std::string CopyFailure;
  // The exit status the run ends with (ExitStatus).
  int ExitCode = 0;
  std::string CRLF = "\r\n";
  const std::string UpdateHost;
  const std::string UpdateInfoUrl;

  const Platform& Services() const { return platform_; }

 private:
  IControl& C(Ctl id) { return platform_.window.Control(id); }
  ITimer& T(TimerId id) { return platform_.window.Timer(id); }
  UpdateComponent* Entry(std::int32_t index);
  // Records why the verified copy failed; always false.
  bool FailCopy(const std::string& reason);

  Platform platform_;
  int pictureFailures_ = 0;
};

// Turns any exception into the run-time error an error trap reports.
RuntimeError AsRuntimeError(const std::exception& e);
