#include "install/crc32_kernels.hpp"

constexpr CrcSliceTables kCrc32Slices = MakeSliceTables(0xEDB88320u);
static_assert(kCrc32Slices[0][1] == 0x77073096u && kCrc32Slices[0][128] == 0xEDB88320u);

namespace {
// Little-endian word from four bytes; compilers turn this into one load.
inline std::uint32_t Load32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

// The register after the four bytes of w, where w's first byte is followed
// by kAfter + 3 more bytes: its table is the one for that many zeros.
template <std::size_t kAfter>
inline std::uint32_t Word(const CrcSliceTables& t, std::uint32_t w) {
  return t[kAfter + 3][w & 0xFF] ^ t[kAfter + 2][(w >> 8) & 0xFF] ^ t[kAfter + 1][(w >> 16) & 0xFF] ^
         t[kAfter][w >> 24];
}
}  // namespace

std::uint32_t UpdateCrcSliced(const CrcSliceTables& t, const std::uint8_t* p, std::size_t n, std::uint32_t crc) {
  for (; n >= 16; p += 16, n -= 16)
    crc = Word<12>(t, Load32(p) ^ crc) ^ Word<8>(t, Load32(p + 4)) ^ Word<4>(t, Load32(p + 8)) ^
          Word<0>(t, Load32(p + 12));
  // The rest in at most three table steps and three bytes.
  if (n >= 8) {
    crc = Word<4>(t, Load32(p) ^ crc) ^ Word<0>(t, Load32(p + 4));
    p += 8;
    n -= 8;
  }
  if (n >= 4) {
    crc = Word<0>(t, Load32(p) ^ crc);
    p += 4;
    n -= 4;
  }
  for (; n > 0; --n) crc = (crc >> 8) ^ t[0][(crc ^ *p++) & 0xFF];
  return crc;
}
