#pragma once
// frmMain: the wizard's main window, the coordinator of the page flow. It
// owns one object per subsystem (installed-state discovery, the catalog,
// the integrity check and hand-over, error reporting) and the state they
// share (the component table and the entry being transferred), and it is
// the only one that knows them all.
#include <cstdint>
#include <memory>
#include <string>

#include "catalog/update_catalog.hpp"
#include "catalog/update_component.hpp"
#include "install/installer_handoff.hpp"
#include "install_state/read_installed_state.hpp"
#include "platform/platform.hpp"
#include "support/app_texts.hpp"
#include "support/error_reporting.hpp"
#include "support/runtime_error.hpp"
#include "transfer/u_http.hpp"

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

class frmMain : public IMainWindowEvents, private IHttpEvents {
 public:
  frmMain(const Platform& platform, std::string updateHost);
  ~frmMain() override;

  const std::string UpdateHost;
  const std::string UpdateInfoUrl;

 private:
  Platform platform_;

 public:
  // ---- shared state ----
  ComponentTableType ComponentTable;
  std::int32_t CurrentIndex = 0;

  // ---- the subsystems ----
  InstalledStateReader Installed;
  UpdateCatalog Catalog;
  InstallerHandoff Installer;
  ErrorReporter Errors;

  // ---- controller: events ----
  // Start-up. Run-time errors are reported as unexpected errors ("0002").
  void Form_Load();
  // Previous (0), Next (1), Cancel (2).
  void Cmd_Click(int Index) override;
  // The window is about to close; cancel = 1 keeps it open. unloadMode 0
  // means the user closes it from the title bar or system menu.
  void Form_QueryUnload(int& cancel, int unloadMode) override;
  void Form_Resize() override;
  // The window has closed: the transfer stops and the downloaded files go;
  // the verified copy in the product folder stays for the installer.
  void Form_Unload() override;

  // ---- controller: procedures ----
  void ShowPage(std::int32_t page);
  // Asks, when needed, whether the user wants to leave; true lets the window close.
  bool ConfirmExit(std::int32_t page);
  void ShowFrame(std::int32_t index);
  // Focus to the control only when it is enabled and visible; never raises.
  void SetFocusSafe(Ctl control);

  // ---- pages ----
  void ShowWelcomePage();
  // The warning page when the installer service is missing.
  void ShowInstallerWarning();
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
  void tmrStatus_Timer() override;
  void tmrDownload_Timer() override;
  // Stop (0) and Retry (1).
  void cmdLoad_Click(int Index) override;

  // ---- state ----
  std::int32_t CurrentPage = 0;
  std::int32_t ElapsedSeconds = 0;
  float TransferStart = 0;
  std::unique_ptr<uHttp> htp;
  bool RecheckPending = false;
  bool CloseWithoutConfirm = false;
  std::string MessageText;
  // The exit status the run ends with (ExitStatus).
  int ExitCode() const { return Installer.ExitCode; }

  const Platform& Services() const { return platform_; }

 private:
  IControl& C(Ctl id) { return platform_.window.Control(id); }
  ITimer& T(TimerId id) { return platform_.window.Timer(id); }
  UpdateComponent* Entry(std::int32_t index);
};
