#pragma once
// Texts of the transfer status view.
#include <cstdint>
#include <string>

// "m:ss minutes" or "h:mm:ss hours" for a number of seconds.
std::string FormatDuration(float seconds);
// A number with at least one integer digit and exactly two decimals ("0.00").
std::string FormatFixed2(float value);
// The user's wording of a transfer failure; connected tells whether a
// configured Internet connection is reported (asked only when needed).
std::string DescribeTransferErrorText(const std::string& sError, bool (*connected)(void*), void* context);
// Rounds to the nearest whole number, halves to even; raises error 6 when
// the result does not fit 32 bits.
std::int32_t CheckedRound(double value);
