#include "backends/libcurl/curl_on_demand.hpp"

#include "backends/posix/library_on_demand.hpp"

namespace {
// libcurl's soname since 7.16 (2006): the interface the headers this
// program is built with describe.
constexpr char kLibrary[] = "libcurl.so.4";
// 7.85: the first with CURLOPT_PROTOCOLS_STR and curl_easy_header no longer
// experimental.
constexpr unsigned kOldest = 0x075500;
static_assert(LIBCURL_VERSION_NUM >= kOldest, "libcurl's headers are older than 7.85");

CurlLibrary Load() {
  CurlLibrary library;
  LibraryOnDemand curl(kLibrary);
#define LARKSPIRE_FIND(name) curl.Find("curl_" #name, library.name);
  LARKSPIRE_CURL_ENTRY_POINTS(LARKSPIRE_FIND)
#undef LARKSPIRE_FIND
  if (!curl.Failure().empty()) return {.failure = curl.Failure()};
  // The headers the program is built with are 7.85 or later; the library
  // found at run time must be too.
  const curl_version_info_data* version = library.version_info(CURLVERSION_NOW);
  if (!version || version->version_num < kOldest)
    return {.failure = std::string(kLibrary) + " is libcurl " + (version ? version->version : "of an unknown version") +
                       "; 7.85 or later is needed"};
  return library;
}
}  // namespace

const CurlLibrary& Curl() {
  static const CurlLibrary library = Load();
  return library;
}
