#pragma once
// The maker's public keys built into this program (the CMake setting
// LARKSPIRE_UPDATE_PUBLIC_KEYS, checked when the build is configured).
#include <string>
#include <vector>

// The keys, each the base64 of a 65-byte uncompressed P-256 point: none
// (catalogs are taken unsigned, as ever), or the current key and, while the
// maker moves to a new one, the next. Never raises.
std::vector<std::string> BuiltInUpdateKeys();
