#include "wizard/frm_main.hpp"

frmMain::frmMain(const Platform& platform, std::string updateHost)
    : UpdateHost(std::move(updateHost)),
      UpdateInfoUrl(UpdateInfoUrlOf(UpdateHost)),
      platform_(platform),
      Errors(*platform_.messageBox, *platform_.process, *platform_.events),
      Installed(platform_, [this] { Installer.RegisterMessages(); }),
      Catalog(platform_, ComponentTable, UpdateInfoUrl),
      Transfer(platform_, *this, ComponentTable, UpdateHost, Errors),
      Installer(platform_, ComponentTable) {}

frmMain::~frmMain() = default;

UpdateComponent* frmMain::Entry(std::int32_t index) {
  if (index < 0 || static_cast<std::size_t>(index) >= ComponentTable.size()) return nullptr;
  return &ComponentTable[static_cast<std::size_t>(index)];
}

bool frmMain::ConnectionState(std::string* sConnectionInfo, std::string* sConnectionName) {
  return Transfer.ConnectionState(sConnectionInfo, sConnectionName);
}

void frmMain::RestartTransfer() {
  if (CurrentPage == PageCheck || CurrentPage == PageRecheck)
    ShowCheckPage();
  else if (CurrentPage == PageDownload)
    ShowDownloadPage();
}

void frmMain::UpdateInfoArrived(const std::string& sFile) {
  const CatalogOutcome read = Catalog.ReadUpdateInfo(sFile, Installed.State);
  // An older signed catalog is refused from now on.
  Installed.StoreCatalogSerial(read.acceptedSerial);
  CurrentPage = PageResult;
  ShowResultPage(read.result);
}

void frmMain::KeepPackageCopies() {
  if (Installer.PackageCopies != Installed.State.PackageCopies) Installed.StorePackageCopies(Installer.PackageCopies);
}

bool frmMain::PackageArrived(const std::string& sFile, std::string& copyFailure) {
  const bool verified = Installer.VerifyDownload(sFile, Transfer.CurrentIndex);
  KeepPackageCopies();
  if (!verified) {
    copyFailure = Installer.CopyFailure;
    return false;
  }
  ++CurrentPage;
  ShowPage(CurrentPage);
  return true;
}
