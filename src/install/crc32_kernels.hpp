#pragma once
// The roads of the CRC update loop, for the calculator and for the tests
// and benchmarks that compare them. All take and return the raw register.
#include <array>
#include <cstddef>
#include <cstdint>

using CrcSliceTables = std::array<std::array<std::uint32_t, 256>, 16>;

// Fills the tables for 16 bytes at a time from the byte table in slices[0].
void BuildSliceTables(CrcSliceTables& slices);

// Sixteen bytes per step through the slice tables; any reflected polynomial.
std::uint32_t UpdateCrcSliced(const CrcSliceTables& slices, const std::uint8_t* data, std::size_t n, std::uint32_t crc);

// True when the processor multiplies without carry (PCLMULQDQ).
bool HasCarrylessMultiply();

// True when the processor also multiplies 512 bits at a time (AVX-512 with
// VPCLMULQDQ).
bool HasWideCarrylessMultiply();

// The standard polynomial only, with carry-less multiplication; callers must
// check HasCarrylessMultiply first. Short data goes through the slices.
std::uint32_t UpdateCrcCarryless(const CrcSliceTables& slices, const std::uint8_t* data, std::size_t n,
                                 std::uint32_t crc);

// The same, 256 bytes a step; callers must check HasWideCarrylessMultiply.
std::uint32_t UpdateCrcCarryless512(const CrcSliceTables& slices, const std::uint8_t* data, std::size_t n,
                                    std::uint32_t crc);
