#pragma once
// The expansion of %NAME% references that both builds' environment services
// share.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// src with every %NAME% replaced by lookup's value for NAME; references to
// unknown variables stay as written. Never fails.
std::string ExpandPercentReferences(std::string_view src,
                                    const std::function<std::optional<std::string>(const std::string&)>& lookup);

// Win32-style buffer handling around an already expanded text: the size the
// result needs including its NUL, written to dst only when it fits.
std::uint32_t CopyExpandedResult(const std::string& expanded, char* dst, std::uint32_t size);
