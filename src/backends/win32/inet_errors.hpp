#pragma once
// How a fetch that WinINet ended with a failure is worded for the user, in
// the words both read services share (fetch_failure_texts.hpp). Pure: no
// fetch, socket or server is needed.
#include <cstdint>

#include "backends/common/fetch_failure_texts.hpp"

// What is known of a fetch that a WinINet call failed.
struct InetEnd {
  std::uint32_t error = 0;  // GetLastError() after the call
  bool connected = false;   // a connection to the server was made
  bool answered = false;    // the head of an answer was read
  bool silent = false;      // nothing at all arrived for the whole stall limit
  int stallSeconds = 60;    // the stall limit
};

// The failure's number and words. Never fails.
FetchFailure DescribeInetError(const InetEnd& end);

// The system's words for a WinINet or Win32 error number, without the final
// full stop; "error N" when it has none. Never fails.
std::string InetErrorText(std::uint32_t error);
