#pragma once
// The CRC-32 of downloaded packages: a table for any reflected polynomial,
// filled on every check, and an update loop that takes the fastest road the
// processor offers for the standard polynomial and the length at hand.
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

// The reflected polynomial of the standard CRC-32 (IEEE 802.3, zlib).
inline constexpr std::int32_t kCrc32Polynomial = static_cast<std::int32_t>(0xEDB88320u);

class CrcCalculator {
 public:
  // Clears and fills CrcTable for the reflected polynomial lPolynomial and
  // returns lStart unchanged, as the initial register. Never raises.
  std::int32_t InitCrcTable(std::int32_t lPolynomial, std::int32_t lStart);

  // The register after every byte of sData, starting from lCrc. Any piece of
  // the data may be given at a time: feeding pieces in order gives the same
  // register as feeding the whole. Never raises.
  std::int32_t UpdateCrc(std::span<const std::uint8_t> sData, std::int32_t lCrc) const;
  std::int32_t UpdateCrc(std::string_view sData, std::int32_t lCrc) const;

  // 256 entries, bit patterns held as signed 32-bit values.
  std::array<std::int32_t, 256> CrcTable{};

 private:
  bool standard_ = false;
  // Tables for 16 bytes at a time for any other polynomial; the standard
  // one's are built into the program.
  std::unique_ptr<std::array<std::array<std::uint32_t, 256>, 16>> slices_;
};

// The bitwise complement of the register: the CRC value. Never raises.
std::int32_t FinishCrc(std::int32_t lCrc);

// The standard CRC-32 of data (register all ones, final complement), on
// the built-in tables.
std::uint32_t Crc32(std::span<const std::uint8_t> data);
std::uint32_t Crc32(std::string_view data);
