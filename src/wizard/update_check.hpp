#pragma once
// The quiet check (--check): what is installed, then the update information
// fetched and read exactly as the wizard reads it (the same reader, the same
// rules for signature, serial, expiry and versions), with no window. It
// fetches nothing else and writes nothing but what the wizard writes: the
// accepted catalog serial (and the product identifier when it is missing).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "catalog/update_catalog.hpp"
#include "install/installer_handoff.hpp"
#include "install_state/read_installed_state.hpp"
#include "platform/platform.hpp"
#include "transfer/u_http.hpp"

class UpdateCheck : private IHttpEvents {
 public:
  // What a check found, which is also its exit status.
  enum Outcome : int {
    UpToDate = 0,          // nothing newer (also: no update available now)
    NotInstalled = 2,      // no usable installation (the registry said why)
    Failed = 8,            // the fetch failed or the update information was unusable
    UpdateAvailable = 10,  // newer components are offered
  };

  // platform: the services the check uses (no window, dialogs or message
  // boxes are shown; the not-installed road logs and ends the program with
  // status 2); updateHost: the update server built into the program.
  UpdateCheck(const Platform& platform, std::string updateHost);
  ~UpdateCheck() override;
  UpdateCheck(const UpdateCheck&) = delete;
  UpdateCheck& operator=(const UpdateCheck&) = delete;

  // Reads what is installed and starts the fetch; done runs once, on the
  // event loop, when the outcome is known. Never raises.
  void Start(std::function<void()> done);

  Outcome Result = Failed;
  // The outdated components, as the wizard lists them: "quillon.exe 2.02.0000".
  std::vector<std::string> Components;
  // What identifies the published catalog, so that one is announced once:
  // its serial when signed, else its package and components.
  std::string CatalogIdentity;

 private:
  void htp_HTTPError(const std::string& sKey, const std::string& sError) override;
  void htp_StatusChange(const std::string&, std::int32_t) override {}
  void htp_DownloadComplete(const std::string& sKey, std::int32_t lType, const std::string& vData) override;
  void htp_ProgressChange(const std::string&, float, float) override {}
  void Finish(Outcome outcome);

  Platform platform_;
  const std::string updateInfoUrl_;
  InstalledStateReader installed_;
  ComponentTableType table_;

 public:
  // The reading of the update information, as the wizard's (its keys can be set before Start).
  UpdateCatalog Catalog;

 private:
  std::unique_ptr<uHttp> htp_;
  std::function<void()> done_;
};
