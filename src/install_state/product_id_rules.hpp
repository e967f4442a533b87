#pragma once
// The rules of the per-installation product identifier: its form, the way
// it is scrambled for storage, and how a GUID becomes one.
#include <string>

#include "platform/guid_source.hpp"

// The fixed key phrase of the scrambling.
inline constexpr const char* kProductIdKeyPhrase = "Quiet Harbour Lantern Phrase 42!";

// Each character's single-byte code with its top bit flipped, xor the key's
// code at the same position (the key repeats). Applying it twice gives the
// text back.
std::string ScrambleText(const std::string& key, const std::string& text);
// The same transformation over as many characters as the trimmed text has;
// "" on any error.
std::string UnscrambleText(const std::string& key, const std::string& text);
// 36 characters, "-" at 9, 14, 19 and 24, only digits, capitals and "-".
bool IsValidProductID(const std::string& id);
// The 8-4-4-4-12 upper-case form of a GUID.
std::string FormatProductID(const Guid& guid);
