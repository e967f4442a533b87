#include "install/crc32_kernels.hpp"

namespace {
// Little-endian word from four bytes; compilers turn this into one load.
inline std::uint32_t Load32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}
}  // namespace

void BuildSliceTables(CrcSliceTables& slices) {
  // slices[k][i] is the register after byte i followed by k zero bytes.
  for (std::size_t k = 1; k < slices.size(); ++k)
    for (std::size_t i = 0; i < 256; ++i) {
      const std::uint32_t prev = slices[k - 1][i];
      slices[k][i] = (prev >> 8) ^ slices[0][prev & 0xFF];
    }
}

std::uint32_t UpdateCrcSliced(const CrcSliceTables& t, const std::uint8_t* p, std::size_t n, std::uint32_t crc) {
  while (n >= 16) {
    const std::uint32_t a = Load32(p) ^ crc;
    const std::uint32_t b = Load32(p + 4);
    const std::uint32_t c = Load32(p + 8);
    const std::uint32_t d = Load32(p + 12);
    crc = t[15][a & 0xFF] ^ t[14][(a >> 8) & 0xFF] ^ t[13][(a >> 16) & 0xFF] ^ t[12][a >> 24] ^  //
          t[11][b & 0xFF] ^ t[10][(b >> 8) & 0xFF] ^ t[9][(b >> 16) & 0xFF] ^ t[8][b >> 24] ^    //
          t[7][c & 0xFF] ^ t[6][(c >> 8) & 0xFF] ^ t[5][(c >> 16) & 0xFF] ^ t[4][c >> 24] ^      //
          t[3][d & 0xFF] ^ t[2][(d >> 8) & 0xFF] ^ t[1][(d >> 16) & 0xFF] ^ t[0][d >> 24];
    p += 16;
    n -= 16;
  }
  while (n-- > 0) crc = (crc >> 8) ^ t[0][(crc ^ *p++) & 0xFF];
  return crc;
}
