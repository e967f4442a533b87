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
#include "platform/platform.hpp"

// The installed versions the catalog compares with, one per row 1 to 6 of
// ComponentKeys (the product itself first).
using InstalledVersionList = std::array<std::string, ComponentKeys.size() - 1>;

class UpdateCatalog {
 public:
  // table: the component table, entry 0 the update-information file;
  // appVersion and installed: what is installed, read at start-up;
  // updateInfoUrl: where the file came from, for the log.
  UpdateCatalog(const Platform& platform, ComponentTableType& table, const std::string& appVersion,
                const InstalledVersionList& installed, std::string updateInfoUrl)
      : platform_(platform),
        table_(table),
        appVersion_(appVersion),
        installed_(installed),
        updateInfoUrl_(std::move(updateInfoUrl)) {}

  // Validates the downloaded update-information file sFile and fills the
  // component table; the outcome decides the result page. Never raises.
  CatalogResult ReadUpdateInfo(const std::string& sFile);
  // The maker's public keys: with any, only a file they signed is read.
  std::vector<std::string> Keys = BuiltInUpdateKeys();
  // The lowest serial a signed file may carry, whatever this user accepted.
  std::string SerialFloor = BuiltInSerialFloor();
  // The highest serial this user has accepted ("" for none), and the one
  // the last reading accepted ("" when it accepted none).
  std::string StoredSerial;
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
  const std::string& appVersion_;
  const InstalledVersionList& installed_;
  const std::string updateInfoUrl_;
  // A signed file's values, from the very bytes that were verified.
  std::optional<ProfileDocument> verified_;
};
