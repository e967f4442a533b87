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

// A signed file's serial is the UTC time it was published, always as the
// fourteen digits YYYYMMDDhhmmss, so that serials compare as times and can
// be held against the clock.
// The serial as seconds since 1970; nothing for any other text. Never raises.
std::optional<std::int64_t> SerialTime(const std::string& serial);
// How far ahead of this computer's clock a serial may be (a clock that is
// wrong by hours still takes new catalogs). A serial further ahead is
// refused and never kept, so no catalog, even one signed with a leaked
// key, can hold back the maker's next ones for longer than this.
inline constexpr std::int64_t kSerialLeadSeconds = 24 * 3600;
// How long after its serial a signed file may say it expires: a replayed
// catalog can keep a user from newer ones for at most this long.
inline constexpr int kMaxCatalogLifetimeDays = 30;

// The fields a signed file must carry on top: "sha256", "pkgsize", a
// "serial" that is a publish time neither more than kSerialLeadSeconds
// ahead of now nor below the highest of floorSerial and storedSerial (the
// highest this user accepted, "" for none; ignored when it is not a serial
// at most that far ahead, so a bad one stored never locks the user out),
// and an "expires" (UTC "YYYY-MM-DDThh:mm:ssZ") not before now and at most
// kMaxCatalogLifetimeDays after the serial. now: seconds since 1970. ""
// when they pass, else why not. Never raises.
std::string CheckSignedFields(const CatalogValueFn& value, const std::string& storedSerial,
                              const std::string& floorSerial, std::int64_t now);

// Applies the checks in their fixed order to the values of a file that is
// fileLength bytes long. Reads only sections of ComponentKeys. Raises only
// what the two functions raise.
CatalogReading EvaluateCatalog(const CatalogValueFn& value, std::int64_t fileLength, const NewerVersionFn& isNewer);
