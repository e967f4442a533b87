#pragma once
// What is installed on this machine, read once at start-up.
#include <array>
#include <string>

// The components whose installed versions are kept, in the order the update
// catalog compares them: the product itself, then five components.
inline constexpr std::array<const char*, 6> kInstalledComponentNames = {
    "larkspire", "rillgauge", "quillon", "palvetta", "qvmpanel", "qvmclock"};

struct InstalledState {
  std::string AppPath;     // the product folder, ending in "\"
  std::string AppVersion;  // "App Version" as stored, not trimmed
  // "CatalogSerial": the highest serial of a signed catalog accepted, "" for none.
  std::string CatalogSerial;
  // "Package Copies": the verified packages this wizard left in the product
  // folder, one line each, "name|what was installed when it was made".
  std::string PackageCopies;
  // One valid version text (or "0") per name of kInstalledComponentNames.
  std::array<std::string, kInstalledComponentNames.size()> InstalledVersions;
};
