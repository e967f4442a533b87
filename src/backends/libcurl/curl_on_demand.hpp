#pragma once
// libcurl, loaded the first time a fetch needs it, not when the program
// starts (library_on_demand.hpp). With the libraries it brings (TLS, SSH,
// LDAP, Kerberos, IDN, HTTP/2 and their own) it was two thirds of the
// dynamic loader's work before the first window was on the screen, for a
// check that begins only when the user asks for it.
//
// The program is not linked against libcurl; the read service calls the
// entry points it uses through Curl(), each by its name without the curl_
// prefix and with the header's own type (Curl().easy_setopt for
// curl_easy_setopt). A libcurl older than 7.85, the first with every option
// the fetches set, counts as one that could not be loaded. The service asks
// Curl().failure before its first fetch, so a user without a usable libcurl
// gets a failed fetch that says why, never a program that cannot start;
// nothing else calls libcurl before that.
#include <curl/curl.h>

#include <string>

// clang-format off
#define LARKSPIRE_CURL_ENTRY_POINTS(X)                                                               \
  X(global_init) X(easy_init) X(easy_setopt) X(easy_getinfo) X(easy_header) X(easy_strerror)         \
  X(easy_cleanup) X(slist_append) X(slist_free_all) X(multi_init) X(multi_setopt)                    \
  X(multi_add_handle) X(multi_remove_handle) X(multi_socket_action) X(multi_info_read)               \
  X(multi_cleanup) X(version_info)
// clang-format on

// libcurl's entry points the read service uses: all of them once it is
// loaded; none, and the reason, when it cannot be.
struct CurlLibrary {
#define LARKSPIRE_DECLARE(name) decltype(&::curl_##name) name = nullptr;
  LARKSPIRE_CURL_ENTRY_POINTS(LARKSPIRE_DECLARE)
#undef LARKSPIRE_DECLARE
  std::string failure;  // "" once loaded
};

// The library, loaded on the first call: tried once per run, safe from any
// thread.
const CurlLibrary& Curl();
