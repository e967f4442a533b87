#include "backends/libcurl/curl_on_demand.hpp"

#include <curl/curl.h>

#include <cstdarg>

#include "backends/posix/library_on_demand.hpp"

namespace {
// libcurl's soname since 7.16 (2006): the interface the headers this
// program is built with describe.
constexpr char kLibrary[] = "libcurl.so.4";

// Every entry point of libcurl the read service calls.
// clang-format off
#define LARKSPIRE_CURL_ENTRY_POINTS(X)                                                               \
  X(curl_global_init)                                                                                \
  X(curl_easy_init) X(curl_easy_setopt) X(curl_easy_getinfo) X(curl_easy_header)                    \
  X(curl_easy_strerror) X(curl_easy_cleanup) X(curl_slist_append) X(curl_slist_free_all)            \
  X(curl_multi_init) X(curl_multi_setopt) X(curl_multi_add_handle) X(curl_multi_remove_handle)       \
  X(curl_multi_socket_action) X(curl_multi_info_read) X(curl_multi_cleanup)
// clang-format on

// The loaded library's entry points: all of them, or none and the reason.
struct Library {
#define LARKSPIRE_DECLARE(name) decltype(&::name) name = nullptr;
  LARKSPIRE_CURL_ENTRY_POINTS(LARKSPIRE_DECLARE)
#undef LARKSPIRE_DECLARE
  bool loaded = false;
  std::string failure;
};

Library Load() {
  Library library;
  LibraryOnDemand curl(kLibrary);
#define LARKSPIRE_FIND(name) curl.Find(#name, library.name);
  LARKSPIRE_CURL_ENTRY_POINTS(LARKSPIRE_FIND)
#undef LARKSPIRE_FIND
  library.failure = curl.Failure();
  library.loaded = library.failure.empty();
  return library;
}

const Library& Curl() {
  static const Library library = Load();
  return library;
}

// libcurl reads an option's value by the range its number is in; it is
// passed on as it was given, read the same way.
template <typename Handle, typename Option, typename Code>
Code PassOn(Code (*entry)(Handle*, Option, ...), Handle* handle, Option option, va_list values) {
  if (option < CURLOPTTYPE_OBJECTPOINT) return entry(handle, option, va_arg(values, long));
  if (option < CURLOPTTYPE_FUNCTIONPOINT) return entry(handle, option, va_arg(values, void*));
  if (option < CURLOPTTYPE_OFF_T) return entry(handle, option, va_arg(values, void (*)()));
  if (option < CURLOPTTYPE_BLOB) return entry(handle, option, va_arg(values, curl_off_t));
  return entry(handle, option, va_arg(values, void*));
}
}  // namespace

const std::string& CurlLoadFailure() { return Curl().failure; }

// libcurl's entry points, each passed on to the loaded library.

CURLcode curl_global_init(long flags) { return Curl().loaded ? Curl().curl_global_init(flags) : CURLE_FAILED_INIT; }

CURL* curl_easy_init() { return Curl().loaded ? Curl().curl_easy_init() : nullptr; }

CURLcode curl_easy_setopt(CURL* easy, CURLoption option, ...) {
  if (!Curl().loaded) return CURLE_FAILED_INIT;
  va_list values;
  va_start(values, option);
  const CURLcode result = PassOn(Curl().curl_easy_setopt, easy, option, values);
  va_end(values);
  return result;
}

CURLcode curl_easy_getinfo(CURL* easy, CURLINFO info, ...) {
  if (!Curl().loaded) return CURLE_FAILED_INIT;
  va_list values;
  va_start(values, info);
  // Every piece of information is written through a pointer.
  void* into = va_arg(values, void*);
  va_end(values);
  return Curl().curl_easy_getinfo(easy, info, into);
}

CURLHcode curl_easy_header(CURL* easy, const char* name, size_t index, unsigned int origin, int request,
                           curl_header** field) {
  return Curl().loaded ? Curl().curl_easy_header(easy, name, index, origin, request, field) : CURLHE_NOT_BUILT_IN;
}

const char* curl_easy_strerror(CURLcode code) {
  return Curl().loaded ? Curl().curl_easy_strerror(code) : "libcurl could not be loaded";
}

void curl_easy_cleanup(CURL* easy) {
  if (Curl().loaded) Curl().curl_easy_cleanup(easy);
}

curl_slist* curl_slist_append(curl_slist* list, const char* text) {
  return Curl().loaded ? Curl().curl_slist_append(list, text) : nullptr;
}

void curl_slist_free_all(curl_slist* list) {
  if (Curl().loaded) Curl().curl_slist_free_all(list);
}

CURLM* curl_multi_init() { return Curl().loaded ? Curl().curl_multi_init() : nullptr; }

CURLMcode curl_multi_setopt(CURLM* multi, CURLMoption option, ...) {
  if (!Curl().loaded) return CURLM_INTERNAL_ERROR;
  va_list values;
  va_start(values, option);
  const CURLMcode result = PassOn(Curl().curl_multi_setopt, multi, option, values);
  va_end(values);
  return result;
}

CURLMcode curl_multi_add_handle(CURLM* multi, CURL* easy) {
  return Curl().loaded ? Curl().curl_multi_add_handle(multi, easy) : CURLM_INTERNAL_ERROR;
}

CURLMcode curl_multi_remove_handle(CURLM* multi, CURL* easy) {
  return Curl().loaded ? Curl().curl_multi_remove_handle(multi, easy) : CURLM_INTERNAL_ERROR;
}

CURLMcode curl_multi_socket_action(CURLM* multi, curl_socket_t socket, int events, int* running) {
  return Curl().loaded ? Curl().curl_multi_socket_action(multi, socket, events, running) : CURLM_INTERNAL_ERROR;
}

CURLMsg* curl_multi_info_read(CURLM* multi, int* left) {
  return Curl().loaded ? Curl().curl_multi_info_read(multi, left) : nullptr;
}

CURLMcode curl_multi_cleanup(CURLM* multi) {
  return Curl().loaded ? Curl().curl_multi_cleanup(multi) : CURLM_INTERNAL_ERROR;
}
