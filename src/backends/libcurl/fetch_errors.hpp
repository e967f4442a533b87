#pragma once
// How a fetch that libcurl ended with a failure is worded for the user, from
// what libcurl, the system and the server said, in the words both read
// services share (fetch_failure_texts.hpp). Pure: no fetch, socket or
// server is needed.
#include <curl/curl.h>

#include <string>

#include "backends/common/fetch_failure_texts.hpp"

// What is known of a fetch that libcurl ended with a failure.
struct FetchEnd {
  CURLcode result = CURLE_OK;
  long osError = 0;        // the system's error number, 0 when none
  long status = 0;         // the status of the last answer, 0 when none
  std::string location{};  // where that answer redirected to
  bool connected = false;  // a connection was made
  bool silent = false;     // nothing at all arrived for the whole stall limit
  int stallSeconds = 60;   // the stall limit
  std::string detail{};    // libcurl's own words, "" when it has none
};

// The failure's number and words. Never fails.
FetchFailure DescribeFetchError(const FetchEnd& end);
