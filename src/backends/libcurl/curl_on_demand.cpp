#include "backends/libcurl/curl_on_demand.hpp"

#include "backends/posix/library_on_demand.hpp"

namespace {
// libcurl's soname since 7.16 (2006): the interface the headers this
// program is built with describe.
constexpr char kLibrary[] = "libcurl.so.4";

CurlLibrary Load() {
  CurlLibrary library;
  LibraryOnDemand curl(kLibrary);
#define LARKSPIRE_FIND(name) curl.Find("curl_" #name, library.name);
  LARKSPIRE_CURL_ENTRY_POINTS(LARKSPIRE_FIND)
#undef LARKSPIRE_FIND
  if (!curl.Failure().empty()) return {.failure = curl.Failure()};
  return library;
}
}  // namespace

const CurlLibrary& Curl() {
  static const CurlLibrary library = Load();
  return library;
}
