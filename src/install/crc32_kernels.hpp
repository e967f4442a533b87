#pragma once
// The roads of the CRC update loop, for the calculator and for the tests
// and benchmarks that compare them. All take and return the raw register.
#include <array>
#include <cstddef>
#include <cstdint>

// slices[k][i] is the register after byte i followed by k zero bytes,
// starting from a register of zero; slices[0] is the byte table.
using CrcSliceTables = std::array<std::array<std::uint32_t, 256>, 16>;

// The tables for any reflected polynomial; at compile time for the
// standard one.
constexpr CrcSliceTables MakeSliceTables(std::uint32_t polynomial) {
  CrcSliceTables slices{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? (c >> 1) ^ polynomial : c >> 1;
    slices[0][i] = c;
  }
  for (std::size_t k = 1; k < slices.size(); ++k)
    for (std::size_t i = 0; i < 256; ++i) {
      const std::uint32_t prev = slices[k - 1][i];
      slices[k][i] = (prev >> 8) ^ slices[0][prev & 0xFF];
    }
  return slices;
}

// The tables of the standard polynomial 0xEDB88320, built into the program.
extern const CrcSliceTables kCrc32Slices;

// Sixteen bytes per step through the slice tables; any reflected polynomial.
std::uint32_t UpdateCrcSliced(const CrcSliceTables& slices, const std::uint8_t* data, std::size_t n, std::uint32_t crc);

// True when the processor multiplies without carry (PCLMULQDQ).
bool HasCarrylessMultiply();

// True when the processor also multiplies 512 bits at a time (AVX-512 with
// VPCLMULQDQ).
bool HasWideCarrylessMultiply();

// The standard polynomial only, with carry-less multiplication, 128 bytes a
// step; callers must check HasCarrylessMultiply first.
std::uint32_t UpdateCrcCarryless(const std::uint8_t* data, std::size_t n, std::uint32_t crc);

// The same, 256 bytes a step; callers must check HasWideCarrylessMultiply.
std::uint32_t UpdateCrcCarryless512(const std::uint8_t* data, std::size_t n, std::uint32_t crc);

// The standard polynomial by the fastest road this processor has for data
// of this length.
std::uint32_t UpdateCrc32(const std::uint8_t* data, std::size_t n, std::uint32_t crc);
