#pragma once
// The update-information file that larkspire-publish writes.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "publish_options.hpp"

// The catalog's bytes (Windows-1252, CR LF line ends): all seven sections
// with "enabled"; "setup" with its own length as "size", the package's url
// and crc; each offered component with its version and exename; components
// not offered switched off. Never raises for checked options.
std::string BuildCatalog(const PublishOptions& options, std::uint32_t packageCrc);

// What a signed catalog adds to "setup", after "crc".
struct SignedFields {
  std::string sha256;  // the package's SHA-256, 64 lower-case hex digits
  std::int64_t pkgsize = 0;
  std::uint64_t serial = 0;
  std::string expires;  // "" for none, else YYYY-MM-DDThh:mm:ssZ (UTC)
};

// Makes the 64-byte signature (r || s) over bytes.
using SignFn = std::function<std::vector<std::uint8_t>(std::string_view bytes)>;

// The catalog of BuildCatalog with fields in "setup", ended by the
// signature trailer over every byte before it; "size" is the whole file's
// length, trailer included. Raises what sign raises.
std::string BuildSignedCatalog(const PublishOptions& options, std::uint32_t packageCrc, const SignedFields& fields,
                               const SignFn& sign);

// text with "@SIZE@" replaced by the length in bytes of the result, digits
// included. Raises PublishError when no length fits (never for real input).
std::string FillInOwnSize(const std::string& text);
