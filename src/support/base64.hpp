#pragma once
// Standard base64 (RFC 4648, alphabet A-Z a-z 0-9 + /), as keys and
// signatures are written in the catalog and the build's settings.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The bytes of text, or nothing unless text is strict base64: a multiple of
// four characters of the standard alphabet, padded with "=" at the end
// only, no blanks or line breaks, and no bits set beyond the last byte (so
// every byte string has exactly one accepted spelling). Never raises.
std::optional<std::vector<std::uint8_t>> DecodeBase64(std::string_view text);

// The padded base64 text of bytes. Never raises.
std::string EncodeBase64(std::span<const std::uint8_t> bytes);
