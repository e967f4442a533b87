#pragma once
// The reading of the downloaded update-information file into the component
// table: thin glue between the table, the platform's profile reader and the
// catalog rules.
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "catalog/built_in_keys.hpp"
#include "catalog/profile_parser.hpp"
#include "catalog/update_component.hpp"
#include "install_state/installed_state.hpp"
#include "platform/platform.hpp"

// What a reading of the update-information file came to: the result, which
// decides the result page, and the serial of the signed file it accepted,
// which the user keeps so that no older one is accepted again ("" when it
// accepted none).
struct CatalogOutcome {
  CatalogResult result = crError;
  std::string acceptedSerial;
};

class UpdateCatalog {
 public:
  // table: the component table, entry 0 the update-information file;
  // updateInfoUrl: where the file came from, for the log.
  UpdateCatalog(const Platform& platform, ComponentTableType& table, std::string updateInfoUrl)
      : platform_(platform), table_(table), updateInfoUrl_(std::move(updateInfoUrl)) {}

  // Validates the downloaded update-information file sFile against what is
  // installed (its versions, and in CatalogSerial the highest serial this
  // user accepted) and fills the component table. Never raises.
  CatalogOutcome ReadUpdateInfo(const std::string& sFile, const InstalledState& installed);
  // The same against Installed; the result alone.
  CatalogResult ReadUpdateInfo(const std::string& sFile) {
    return ReadUpdateInfo(sFile, InstalledState(Installed)).result;
  }
  // What the last reading compared with.
  InstalledState Installed;
  // The maker's public keys: with any, only a file they signed is read.
  std::vector<std::string> Keys = BuiltInUpdateKeys();
  // The lowest serial a signed file may carry, whatever this user accepted.
  std::string SerialFloor = BuiltInSerialFloor();
  // The serial the last reading accepted ("" when it accepted none).
  std::string AcceptedSerial;

  // A build that takes unsigned updates runs whatever answers at its update
  // host: it says so in the log at every start (the wizard's and the
  // check's), where a journal keeps it. Never raises.
  void SayWhenUnsigned() const;
  // A value of the downloaded update-information file; "" when missing.
  std::string GetIniValue(const std::string& sSection, const std::string& sKey);
  // Row sKey's catalog version (normalised in place) against the installed one.
  bool IsNewerVersion(int sKey, std::string& sVersion);

 private:
  Platform platform_;
  ComponentTableType& table_;
  const std::string updateInfoUrl_;
  // A signed file's values, from the very bytes that were verified.
  std::optional<ProfileDocument> verified_;
};
