#pragma once
// How a fetch that libcurl ended with a failure is worded for the user, from
// what libcurl, the system and the server said, in the words both read
// services share (fetch_failure_texts.hpp). Pure: no fetch, socket or
// server is needed.
#include <curl/curl.h>

#include <string>

#include "backends/common/transfer_rules.hpp"

// What is known of a fetch that libcurl ended with a failure.
struct FetchEnd {
  CURLcode result = CURLE_OK;
  long osError = 0;       // the system's error number, 0 when none
  Wait wait{};            // what the fetch had seen
  std::string host{};     // of the address being fetched
  long verifyResult = 0;  // OpenSSL's verdict on the server's certificate
  std::string detail{};   // libcurl's own words, "" when it has none
};

// The failure's number and words, a time-out in the words rules choose.
// Never fails.
FetchFailure DescribeFetchError(const FetchEnd& end, const TransferRules& rules);
