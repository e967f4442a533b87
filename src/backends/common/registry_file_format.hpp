#pragma once
// The readable registry file: the registry editor's export format, written
// as UTF-8. Data are kept as the registry holds them (single-byte text in the
// hive's code page), so every value survives a save and a load byte for
// byte. Names and texts of a UTF-8 hive are written as they are; those of a
// Windows-1252 hive are converted to UTF-8 and back.
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\Tessarine\LarkspireBrowser\Main]
//   "App Version"="3.02.0012"
//   "ProductID"=hex:d4,c6,...
//   "Count"=dword:0000002a
//   "Path"=hex(2):25,54,45,4d,50,25,00
//
// Strings are written in quotes when they hold one terminating NUL and
// printable text; anything else is written as hex(type).
#include <string>
#include <string_view>

#include "backends/common/registry_tree.hpp"

// Parses a registry file into a hive of *hive's code page. On failure
// returns false, fills *error with the line and the reason, and leaves *hive
// untouched. Bytes that are not UTF-8 and keys nested deeper than
// kMaxKeyDepth fail the file. Besides its own files it reads the registry
// editor's export ("regedit /E": UTF-16 with a byte-order mark, string data
// of hex(1), hex(2) and hex(7) in UTF-16, "\r" and "\n" in quoted texts),
// converting texts and string data to the hive's code page as the registry's
// single-byte calls give them; for a Windows-1252 hive a character outside
// the code page fails the file.
bool ParseRegistryFile(std::string_view text, RegistryHive* hive, std::string* error);

// The file text for a hive, written without recursion.
std::string SerializeRegistryFile(const RegistryHive& hive);
