#pragma once
// frmMain: the wizard's main window, the coordinator of the page flow. It
// owns one object per subsystem (installed-state discovery, the catalog,
// the download controller, the integrity check and hand-over, error
// reporting) and the component table they share, and it is the only one
// that knows them all.
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>

#include "catalog/update_catalog.hpp"
#include "catalog/update_component.hpp"
#include "install/installer_handoff.hpp"
#include "install_state/read_installed_state.hpp"
#include "platform/platform.hpp"
#include "support/app_texts.hpp"
#include "support/diagnostics.hpp"
#include "support/error_reporting.hpp"
#include "support/runtime_error.hpp"
#include "transfer/download_controller.hpp"

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

class frmMain : public IMainWindowEvents, public ITransferHost {
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
  // When this run began (seconds since 1970): files of the wizard's own last
  // written before then belong to runs that are over.
  const std::int64_t RunStarted = std::time(nullptr);

  // ---- the subsystems ----
  // Each holds none of the others: what one needs of another, the window
  // passes it as a value when it calls (what is installed, the entry being
  // handed over, the serial accepted).
  ErrorReporter Errors;
  InstalledStateReader Installed;
  UpdateCatalog Catalog;
  DownloadController Transfer;
  InstallerHandoff Installer;

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
  void ShowFrame(std::int32_t index) override;
  // Focus to the control only when it is enabled and visible; never raises.
  void SetFocusSafe(Ctl control) override;

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
  void ShowProgress(std::int32_t percent) override;
  // The text, trimmed, shortened with "..." when wider than width twips.
  std::string ShortenText(const std::string& text, bool middle, std::int16_t width) override;

  // ---- transfers ----
  // Whether a configured Internet connection is reported; the description
  // and the connection's name on request. Never raises.
  bool ConnectionState(std::string* sConnectionInfo, std::string* sConnectionName);
  bool ConnectionState() override { return ConnectionState(nullptr, nullptr); }
  // The check page or the download page starts its transfer again.
  void RestartTransfer() override;
  // The catalog reads the file and the result page shows what it offers.
  void UpdateInfoArrived(const std::string& sFile) override;
  // The package is checked and placed; the Ready page follows when it passed.
  bool PackageArrived(const std::string& sFile, std::string& copyFailure) override;
  // Stores the hand-off's list of package copies when it has changed.
  void KeepPackageCopies();

  // ---- transfers: window events, handled by the download controller ----
  void tmrStatus_Timer() override { Transfer.tmrStatus_Timer(); }
  void tmrDownload_Timer() override { Transfer.tmrDownload_Timer(); }
  // Stop (0) and Retry (1).
  void cmdLoad_Click(int Index) override { Transfer.cmdLoad_Click(Index); }

  // ---- state ----
  std::int32_t CurrentPage = 0;
  bool RecheckPending = false;
  bool CloseWithoutConfirm = false;
  std::string MessageText;
  // The exit status the run ends with (ExitStatus).
  // The hand-off's status; else, when the last check or download failed
  // (a failed transfer, or unusable update information), UpdateFailed.
  int ExitCode() const {
    if (Installer.ExitCode != ExitStatus::Success) return Installer.ExitCode;
    return Transfer.LastTransferFailed || RecheckPending ? ExitStatus::UpdateFailed : ExitStatus::Success;
  }

  const Platform& Services() const { return platform_; }

 private:
  IControl& C(Ctl id) { return platform_.window->Control(id); }
  ITimer& T(TimerId id) { return platform_.window->Timer(id); }
  UpdateComponent* Entry(std::int32_t index);
};
