// CRC-32 by folding: the data is read as one long polynomial, and blocks of
// it are carried forward with carry-less multiplications by powers of x
// modulo the CRC polynomial, eight 16-byte lanes at a time. What remains is
// one 16-byte block with the same remainder, finished through the tables.
#include "install/crc32_kernels.hpp"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>

namespace {
constexpr std::uint32_t kPolynomial = 0xEDB88320u;

// x^k modulo the polynomial, bit-reflected as the CRC register holds it
// (bit 31 is x^0). Multiplying by x is one step of the table loop.
constexpr std::uint32_t XPowMod(unsigned k) {
  std::uint32_t v = 0x80000000u;
  while (k-- > 0) v = (v & 1) ? (v >> 1) ^ kPolynomial : v >> 1;
  return v;
}

// Folding a 16-byte block forward by d bits multiplies its first half by
// x^(d+64) and its second half by x^d; the product of two reflected 64-bit
// operands comes out one degree up, hence the minus one.
constexpr std::uint64_t FoldKey(unsigned k) { return std::uint64_t{XPowMod(k - 1)} << 32; }

constexpr unsigned kLanes = 8;
constexpr unsigned kLaneBits = 128;

__attribute__((target("sse2,pclmul"))) inline __m128i Keys(unsigned distanceBits) {
  return _mm_set_epi64x(static_cast<long long>(FoldKey(distanceBits)),
                        static_cast<long long>(FoldKey(distanceBits + 64)));
}

__attribute__((target("sse2,pclmul"))) inline __m128i Fold(__m128i block, __m128i keys, __m128i next) {
  const __m128i first = _mm_clmulepi64_si128(block, keys, 0x00);
  const __m128i second = _mm_clmulepi64_si128(block, keys, 0x11);
  return _mm_xor_si128(_mm_xor_si128(first, second), next);
}

inline __m128i Load(const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
}  // namespace

bool HasCarrylessMultiply() {
  static const bool has = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse2");
  return has;
}

__attribute__((target("sse2,pclmul"))) std::uint32_t UpdateCrcCarryless(const CrcSliceTables& slices,
                                                                        const std::uint8_t* p, std::size_t n,
                                                                        std::uint32_t crc) {
  constexpr std::size_t kStride = kLanes * 16;
  if (n < 2 * kStride) return UpdateCrcSliced(slices, p, n, crc);

  // The register joins the data as its first 32 bits; folding then starts
  // from a register of zero.
  __m128i lane[kLanes];
  for (unsigned i = 0; i < kLanes; ++i) lane[i] = Load(p + 16 * i);
  lane[0] = _mm_xor_si128(lane[0], _mm_cvtsi32_si128(static_cast<int>(crc)));
  p += kStride;
  n -= kStride;

  const __m128i strideKeys = Keys(kLanes * kLaneBits);
  while (n >= kStride) {
    for (unsigned i = 0; i < kLanes; ++i) lane[i] = Fold(lane[i], strideKeys, Load(p + 16 * i));
    p += kStride;
    n -= kStride;
  }

  const __m128i blockKeys = Keys(kLaneBits);
  __m128i acc = lane[0];
  for (unsigned i = 1; i < kLanes; ++i) acc = Fold(acc, blockKeys, lane[i]);
  while (n >= 16) {
    acc = Fold(acc, blockKeys, Load(p));
    p += 16;
    n -= 16;
  }

  alignas(16) std::uint8_t rest[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(rest), acc);
  crc = UpdateCrcSliced(slices, rest, sizeof rest, 0);
  return UpdateCrcSliced(slices, p, n, crc);
}

#else

bool HasCarrylessMultiply() { return false; }

std::uint32_t UpdateCrcCarryless(const CrcSliceTables& slices, const std::uint8_t* p, std::size_t n,
                                 std::uint32_t crc) {
  return UpdateCrcSliced(slices, p, n, crc);
}

#endif
