#include "wizard/frm_main.hpp"

frmMain::frmMain(const Platform& platform, std::string updateHost)
    : UpdateHost(std::move(updateHost)),
      UpdateInfoUrl(UpdateInfoUrlOf(UpdateHost)),
      platform_(platform),
      Installed(platform_, [this] { Installer.RegisterMessages(); }),
      Catalog(platform_, ComponentTable, Installed.State.AppVersion, Installed.State.InstalledVersions, UpdateInfoUrl),
      Transfer(platform_, *this, ComponentTable, UpdateHost, Errors),
      Installer(platform_, ComponentTable, Transfer.CurrentIndex, Installed.State),
      Errors(*platform_.messageBox, *platform_.process, *platform_.events) {}

frmMain::~frmMain() = default;

UpdateComponent* frmMain::Entry(std::int32_t index) {
  if (index < 0 || static_cast<std::size_t>(index) >= ComponentTable.size()) return nullptr;
  return &ComponentTable[static_cast<std::size_t>(index)];
}

bool frmMain::ConnectionState(std::string* sConnectionInfo, std::string* sConnectionName) {
  return Transfer.htp->ConnectionState(sConnectionInfo, sConnectionName);
}

void frmMain::RestartTransfer() {
  if (CurrentPage == PageCheck || CurrentPage == PageRecheck)
    ShowCheckPage();
  else if (CurrentPage == PageDownload)
    ShowDownloadPage();
}

void frmMain::UpdateInfoArrived(const std::string& sFile) {
  Catalog.StoredSerial = Installed.State.CatalogSerial;
  const CatalogResult result = Catalog.ReadUpdateInfo(sFile);
  // An older signed catalog is refused from now on.
  Installed.StoreCatalogSerial(Catalog.AcceptedSerial);
  CurrentPage = PageResult;
  ShowResultPage(result);
}

void frmMain::KeepPackageCopies() {
  if (Installer.PackageCopies != Installed.State.PackageCopies) Installed.StorePackageCopies(Installer.PackageCopies);
}

bool frmMain::PackageArrived(const std::string& sFile, std::string& copyFailure) {
  const bool verified = Installer.VerifyDownload(sFile);
  KeepPackageCopies();
  if (!verified) {
    copyFailure = Installer.CopyFailure;
    return false;
  }
  ++CurrentPage;
  ShowPage(CurrentPage);
  return true;
}
