#pragma once
// Whole numbers written as text in the update-information file and in
// version digit strings.
#include <cstdint>
#include <optional>
#include <string_view>

// True for an optional sign followed by one or more decimal digits, with
// spaces allowed around it. Never raises.
bool IsWholeNumber(std::string_view text);

// True for a decimal number: an optional sign, digits with an optional
// fraction (at least one digit in all) and an optional exponent, with spaces
// allowed around it ("1", "0.0", "-.5", "1e3"). Never raises.
bool IsDecimalNumber(std::string_view text);

// The value of a whole number that fits a signed 32-bit integer, or nothing
// (not a whole number, or out of range). Never raises.
std::optional<std::int32_t> ParseInt32(std::string_view text);
