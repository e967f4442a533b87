#pragma once
// How a fetch that WinINet ended with a failure is worded for the user, in
// the words both read services share (fetch_failure_texts.hpp). Pure: no
// fetch, socket or server is needed.
#include <cstdint>
#include <string>

#include "backends/common/transfer_rules.hpp"

// What is known of a fetch that a WinINet call failed.
struct InetEnd {
  std::uint32_t error = 0;  // GetLastError() after the call
  bool answered = false;    // the head of an answer was read
  Wait wait{};              // what the fetch had seen
  std::string host{};       // of the address being fetched
};

// The failure's number and words, a time-out in the words rules choose.
// Never fails.
FetchFailure DescribeInetError(const InetEnd& end, const TransferRules& rules);

// The system's words for a WinINet or Win32 error number, without the final
// full stop; "error N" when it has none. Never fails.
std::string InetErrorText(std::uint32_t error);
