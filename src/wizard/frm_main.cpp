#include "wizard/frm_main.hpp"

frmMain::frmMain(const Platform& platform, std::string updateHost)
    : UpdateHost(std::move(updateHost)),
      UpdateInfoUrl("http://" + UpdateHost + "/browser/updchk.ndf"),
      platform_(platform),
      Installed(platform_, [this] { Installer.RegisterMessages(); }),
      Catalog(platform_, ComponentTable, Installed.State.AppVersion, Installed.State.InstalledVersions, UpdateInfoUrl),
      Installer(platform_, ComponentTable, CurrentIndex, Installed.State),
      Errors(platform_.messageBox, platform_.process, platform_.events) {
  htp = std::make_unique<uHttp>(platform_.reader, platform_.connection, platform_.events,
                                static_cast<IHttpEvents&>(*this));
}

frmMain::~frmMain() = default;

UpdateComponent* frmMain::Entry(std::int32_t index) {
  if (index < 0 || static_cast<std::size_t>(index) >= ComponentTable.size()) return nullptr;
  return &ComponentTable[static_cast<std::size_t>(index)];
}

bool frmMain::ConnectionState(std::string* sConnectionInfo, std::string* sConnectionName) {
  return htp->ConnectionState(sConnectionInfo, sConnectionName);
}
