#pragma once
// The trust policy built into this program: the maker's public keys (the
// CMake setting LARKSPIRE_UPDATE_PUBLIC_KEYS, checked on the curve when the
// build is configured) and the lowest catalog serial it accepts.
#include <string>
#include <vector>

// The keys, each the base64 of a 65-byte uncompressed P-256 point: the
// current key and, while the maker moves to a new one, the next; none only
// in a build made with LARKSPIRE_ALLOW_UNSIGNED_UPDATES=ON, which takes
// unsigned catalogs as the classic wizard did. Never raises.
std::vector<std::string> BuiltInUpdateKeys();

// The SHA-256 of each key's 65 bytes, in hexadecimal, in the same order.
std::vector<std::string> BuiltInKeyFingerprints();

// The lowest catalog serial this build accepts, as YYYYMMDDhhmmss (UTC):
// the time the build was configured unless the maker set another. Never
// raises.
std::string BuiltInSerialFloor();

// The address of the update information on the update server host, over
// the scheme built in (http:// unless the build asked for https://).
inline std::string UpdateInfoUrlOf(const std::string& updateHost) {
  return LARKSPIRE_UPDATE_SCHEME "://" + updateHost + "/browser/updchk.ndf";
}

// What --version says of trust, one line each, ending in a line break:
// where the update information comes from, and the keys that must sign it
// (by fingerprint) or "unsigned updates accepted". Never raises.
std::string TrustPolicyText(const std::string& updateInfoUrl);
