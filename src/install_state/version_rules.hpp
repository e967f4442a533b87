#pragma once
// Version texts of the shape d.dd.dddd, as the registry and the update
// catalog hold them.
#include <string>

#include "support/reg_value.hpp"

// The text with leading and trailing spaces (code 32 only) removed.
std::string TrimSpaces(const std::string& text);

// The trimmed version text when it is valid, otherwise "0". Never raises.
std::string GetValidVersion(const RegValue& value);
std::string GetValidVersion(const std::string& value);
