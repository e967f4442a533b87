#pragma once
// frmMain: the wizard's main window. It owns the program's state for the
// whole run; its procedures live in the folders of the subsystems they
// belong to.
#include <cstdint>
#include <memory>
#include <string>

#include "catalog/update_component.hpp"
#include "install_state/installed_state.hpp"
#include "platform/platform.hpp"
#include "support/c_registry.hpp"

inline constexpr const char* AppTitle = "Larkspire AutoUpdate";

class frmMain {
 public:
  frmMain(const Platform& platform, std::string updateHost);

  // ---- installed-product discovery ----
  // Reads what is installed into State; shows the stop message and ends the
  // program when the product is not installed properly. Raises run-time
  // errors to the start-up procedure.
  void ReadInstalledState();
  // The picture of an embedded resource, or nullptr. Never raises.
  std::shared_ptr<Picture> LoadResourcePicture(const std::string& name);

  // ---- product identifier ----
  // The stored identifier, a new one once stored, or "Unregistered".
  std::string GetProductID();
  // A new identifier from a fresh GUID, or "".
  std::string NewProductID();

  // ---- installer hand-off ----
  // Registers the window message shared with the product's programs; raises
  // -2147220504 after ten attempts without an identifier.
  void RegisterMessages();

  // ---- update catalog ----
  // Validates the downloaded update-information file sFile, fills the
  // component table, sets CurrentPage to 5 and shows the result page.
  void ReadUpdateInfo(const std::string& sFile);
  // A value of the downloaded update-information file; "" when missing.
  std::string GetIniValue(const std::string& sSection, const std::string& sKey);
  // Row sKey's catalog version (normalised in place) against the installed one.
  bool IsNewerVersion(int sKey, std::string& sVersion);

  // ---- integrity check ----
  // Checks the CRC-32 of the downloaded file of entry CurrentIndex and
  // copies it into the product folder. Never raises.
  bool VerifyDownload(const std::string& sFile);

  // ---- pages (the result page) ----
  void ShowResultPage(CatalogResult result);

  // ---- state ----
  ComponentTableType ComponentTable;
  std::int32_t CurrentPage = 0;
  std::int32_t CurrentIndex = 0;
  std::unique_ptr<cRegistry> Registry;
  InstalledState State;
  std::int32_t MsgGeneral = 0;
  std::string MessageText;
  std::string CRLF = "\r\n";
  const std::string UpdateHost;

  const Platform& Services() const { return platform_; }

 private:
  Platform platform_;
  int pictureFailures_ = 0;
};
