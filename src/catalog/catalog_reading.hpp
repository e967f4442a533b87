#pragma once
// What the update-information file says, decided from its values alone:
// the outcome, the setup package to fetch and the outdated components.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "catalog/update_component.hpp"

struct CatalogReading {
  CatalogResult result = crError;
  // Why the file is unusable (crError), for the log.
  std::string why;
  // The setup package; filled when the result is crUpdatesAvailable or
  // crUpToDate.
  std::string setupUrl;
  std::string setupFileName;
  std::string setupCrc;
  std::int64_t setupSize = 0;  // "pkgsize", 0 when the file gives none
  std::string setupSha256;     // "sha256" in lower case, "" when the file gives none
  // One entry per outdated component, in ComponentKeys order: sFileName and
  // sVersion filled, every other field empty.
  std::vector<UpdateComponent> components;
};

// A value of the file: (section, key) to its text, "" when missing.
using CatalogValueFn = std::function<std::string(const std::string& section, const std::string& key)>;
// The version rule for a row of ComponentKeys (1 to 6): true when the
// catalog's version (checked and rewritten in place) is newer.
using NewerVersionFn = std::function<bool(int row, std::string& version)>;

// The fields a signed file must carry on top: "sha256", "pkgsize" and a
// decimal "serial" not below storedSerial (the highest this user accepted,
// "" for none), and, when given, an "expires" (UTC "YYYY-MM-DDThh:mm:ssZ")
// not before now (seconds since 1970). "" when they pass, else why not.
std::string CheckSignedFields(const CatalogValueFn& value, const std::string& storedSerial, std::int64_t now);

// Applies the checks in their fixed order to the values of a file that is
// fileLength bytes long. Reads only sections of ComponentKeys. Raises only
// what the two functions raise.
CatalogReading EvaluateCatalog(const CatalogValueFn& value, std::int64_t fileLength, const NewerVersionFn& isNewer);
