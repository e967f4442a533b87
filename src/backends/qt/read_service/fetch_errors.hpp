#pragma once
// How a fetch that failed is worded for the user, from what libcurl, the
// system and the server said. Pure: no fetch, socket or server is needed.
#include <curl/curl.h>

#include <cstdint>
#include <string>

// Error numbers of failed fetches, after the platform's Internet error codes.
namespace FetchError {
constexpr std::int32_t Timeout = 12002;
constexpr std::int32_t UnrecognizedScheme = 12006;
constexpr std::int32_t NameNotResolved = 12007;
constexpr std::int32_t CannotConnect = 12029;
constexpr std::int32_t ConnectionAborted = 12030;
constexpr std::int32_t InvalidResponse = 12152;
constexpr std::int32_t Redirect = 12156;
constexpr std::int32_t DiskFull = 112;
constexpr std::int32_t Write = 29;
}  // namespace FetchError

extern const char* const kNotUnderstood;

// A fetch that receives less than this many bytes a second for its whole
// stall limit has stalled.
constexpr long kStallBytesPerSecond = 100;

// What is known of a fetch that libcurl ended with a failure.
struct FetchEnd {
  CURLcode result = CURLE_OK;
  long osError = 0;        // the system's error number, 0 when none
  long status = 0;         // the status of the last answer, 0 when none
  std::string location;    // where that answer redirected to
  bool connected = false;  // a connection was made
  bool silent = false;     // nothing at all arrived for the whole stall limit
  int stallSeconds = 60;   // the stall limit
  std::string detail;      // libcurl's own words, "" when it has none
};

struct FetchFailure {
  std::int32_t number = 0;
  std::string description;
};

// The failure's number and words. Never fails.
FetchFailure DescribeFetchError(const FetchEnd& end);

// The words for an answer with an HTTP status that is not the file.
std::string StatusText(long status, const std::string& reason);
