#pragma once
// One entry of the component table, and the outcomes of reading the
// update-information file.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct UpdateComponent {
  std::string sSourceUrl;
  std::string sFileName;
  std::string sDownloadedFile;
  std::string sTargetFile;
  std::string sVersion;
  std::string sCrc;
  std::int64_t lSize = 0;  // the length the catalog announces, 0 when it announces none
  std::string sSha256;     // the SHA-256 it announces (64 lower-case hex digits), "" when none
  bool bVerified = false;
};

// Entry 0 the update-information file, entry 1 the setup package, entries 2
// onwards the newer components.
using ComponentTableType = std::vector<UpdateComponent>;

enum CatalogResult { crError = 0, crUpdatesAvailable = 1, crUpToDate = 2, crNotAvailable = 3 };

// The sections of the update-information file, in the order they are read.
inline constexpr std::array<const char*, 7> ComponentKeys = {"setup",    "larkspire", "rillgauge", "quillon",
                                                             "palvetta", "qvmpanel",  "qvmclock"};
