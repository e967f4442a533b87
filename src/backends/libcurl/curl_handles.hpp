#pragma once
// libcurl's handles, each owned by one holder and released with it.
#include <memory>

#include "backends/libcurl/curl_on_demand.hpp"

struct CurlEasyCleanup {
  void operator()(CURL* easy) const { Curl().easy_cleanup(easy); }
};
struct CurlMultiCleanup {
  void operator()(CURLM* multi) const { Curl().multi_cleanup(multi); }
};
struct CurlListFree {
  void operator()(curl_slist* list) const { Curl().slist_free_all(list); }
};

using CurlEasy = std::unique_ptr<CURL, CurlEasyCleanup>;
using CurlMulti = std::unique_ptr<CURLM, CurlMultiCleanup>;
using CurlHeaderList = std::unique_ptr<curl_slist, CurlListFree>;
