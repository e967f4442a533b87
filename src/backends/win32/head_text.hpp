#pragma once
// The checks of an answer's head that look at its text alone, apart from
// WinINet, so that they build (and are fuzzed) on any system.
#include <cstddef>
#include <string>

// The longest head line a fetch takes. WinINet (Wine's, at least) cuts a
// line at 4095 characters and drops the rest, so a line of that length may
// have been longer and cannot be trusted.
inline constexpr std::size_t kLongestHeadLine = 4094;

// Whether every CR LF-ended line of head is at most kLongestHeadLine long.
bool HeadLinesFit(const std::wstring& head);
// Whether length is a length: digits only, and not too many.
bool IsDecimal(const std::wstring& length);
