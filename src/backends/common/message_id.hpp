#pragma once
#include <cstdint>
#include <string>

// The identifier of a registered message name: the same in every process.
std::uint32_t StableMessageId(const std::string& name);
