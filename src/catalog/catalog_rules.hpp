#pragma once
// The rules that the update-information file's values must pass: the
// package address, its CRC text, the file name of an address and the
// version rule.
#include <cstdint>
#include <optional>
#include <string>

// The last part of a path or address: the text after the last "/" or "\"
// that is not its final character; the trimmed text when there is none.
// Never raises.
std::string FileNameFromUrl(const std::string& sText);

// Trims and lower-cases sUrl in place; true when it begins with "http://"
// and its file name contains a ".". Never raises.
bool CheckUrl(std::string& sUrl);

// True when sName can be stored as it stands in any folder on any system:
// ASCII or Latin letters, digits and "._~-", neither beginning with "-" or
// "." nor naming a Windows device (con, nul, com1, ... with any extension).
// Never raises.
bool IsSafePackageName(const std::string& sName);

// The package length "pkgsize" gives: a decimal number of bytes above 0, or
// nothing. Never raises.
std::optional<std::int64_t> ParsePackageSize(const std::string& sText);

// Trims and upper-cases sCrc in place; true for exactly eight hexadecimal
// digits, otherwise false with sCrc set to "". Never raises.
bool CheckCrcText(std::string& sCrc);

// The version rule: sVersion is replaced by its checked form (the trimmed
// version, or "0" when it is no M.NN.BBBB version); true when its digits are
// a larger number than those of installedVersion. False when either digit
// string is not a number in the signed 32-bit range. Never raises.
bool IsNewerVersion(const std::string& installedVersion, std::string& sVersion);
