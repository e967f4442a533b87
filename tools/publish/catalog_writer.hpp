#pragma once
// The update-information file that larkspire-publish writes.
#include <cstdint>
#include <string>

#include "publish_options.hpp"

// The catalog's bytes (Windows-1252, CR LF line ends): all seven sections
// with "enabled"; "setup" with its own length as "size", the package's url
// and crc; each offered component with its version and exename; components
// not offered switched off. Never raises for checked options.
std::string BuildCatalog(const PublishOptions& options, std::uint32_t packageCrc);

// text with "@SIZE@" replaced by the length in bytes of the result, digits
// included. Raises PublishError when no length fits (never for real input).
std::string FillInOwnSize(const std::string& text);
