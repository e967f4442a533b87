// CRC-32 by folding: the data is read as one long polynomial, and blocks of
// it are carried forward with carry-less multiplications by powers of x
// modulo the CRC polynomial, eight 16-byte lanes at a time (or four 64-byte
// lanes where the processor multiplies 512 bits at once). What remains is
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

__attribute__((target("avx512f,vpclmulqdq"))) inline __m512i Fold512(__m512i block, __m512i keys, __m512i next) {
  const __m512i first = _mm512_clmulepi64_epi128(block, keys, 0x00);
  const __m512i second = _mm512_clmulepi64_epi128(block, keys, 0x11);
  return _mm512_ternarylogic_epi64(first, second, next, 0x96);  // three-way XOR
}

// The masked forms start from zero rather than from an undefined register,
// which keeps the compiler's use-before-set analysis quiet.
__attribute__((target("avx512f"))) inline __m512i BroadcastKeys(__m128i keys) {
  return _mm512_maskz_broadcast_i32x4(0xFFFF, keys);
}

template <int kIndex>
__attribute__((target("avx512f"))) inline __m128i Quarter(__m512i v) {
  return _mm512_maskz_extracti32x4_epi32(0xF, v, kIndex);
}

// Folds the remaining 16-byte blocks into acc, then runs the tables over
// acc's bytes (from a register of zero) and over the last few bytes.
__attribute__((target("sse2,pclmul"))) std::uint32_t FinishFolding(const CrcSliceTables& slices, __m128i acc,
                                                                   const std::uint8_t* p, std::size_t n) {
  while (n >= 16) {
    acc = Fold(acc, Keys(kLaneBits), Load(p));
    p += 16;
    n -= 16;
  }
  alignas(16) std::uint8_t rest[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(rest), acc);
  const std::uint32_t crc = UpdateCrcSliced(slices, rest, sizeof rest, 0);
  return UpdateCrcSliced(slices, p, n, crc);
}
}  // namespace

bool HasCarrylessMultiply() {
  static const bool has = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse2");
  return has;
}

bool HasWideCarrylessMultiply() {
  static const bool has =
      HasCarrylessMultiply() && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("vpclmulqdq");
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

  __m128i acc = lane[0];
  for (unsigned i = 1; i < kLanes; ++i) acc = Fold(acc, Keys(kLaneBits), lane[i]);
  return FinishFolding(slices, acc, p, n);
}

__attribute__((target("avx512f,vpclmulqdq,sse2,pclmul"))) std::uint32_t UpdateCrcCarryless512(
    const CrcSliceTables& slices, const std::uint8_t* p, std::size_t n, std::uint32_t crc) {
  constexpr std::size_t kStride = 4 * 64;
  if (n < 2 * kStride) return UpdateCrcCarryless(slices, p, n, crc);

  __m512i lane[4];
  for (unsigned i = 0; i < 4; ++i) lane[i] = _mm512_loadu_si512(p + 64 * i);
  lane[0] = _mm512_xor_si512(lane[0], _mm512_zextsi128_si512(_mm_cvtsi32_si128(static_cast<int>(crc))));
  p += kStride;
  n -= kStride;

  // Each 64-byte lane holds four 16-byte blocks that all move by the same
  // distance, so the keys repeat in every quarter.
  const __m512i strideKeys = BroadcastKeys(Keys(4 * 512));
  while (n >= kStride) {
    for (unsigned i = 0; i < 4; ++i) lane[i] = Fold512(lane[i], strideKeys, _mm512_loadu_si512(p + 64 * i));
    p += kStride;
    n -= kStride;
  }

  const __m512i laneKeys = BroadcastKeys(Keys(512));
  __m512i wide = lane[0];
  for (unsigned i = 1; i < 4; ++i) wide = Fold512(wide, laneKeys, lane[i]);
  __m128i acc = Quarter<0>(wide);
  acc = Fold(acc, Keys(kLaneBits), Quarter<1>(wide));
  acc = Fold(acc, Keys(kLaneBits), Quarter<2>(wide));
  acc = Fold(acc, Keys(kLaneBits), Quarter<3>(wide));
  return FinishFolding(slices, acc, p, n);
}

#else

bool HasCarrylessMultiply() { return false; }
bool HasWideCarrylessMultiply() { return false; }

std::uint32_t UpdateCrcCarryless(const CrcSliceTables& slices, const std::uint8_t* p, std::size_t n,
                                 std::uint32_t crc) {
  return UpdateCrcSliced(slices, p, n, crc);
}

std::uint32_t UpdateCrcCarryless512(const CrcSliceTables& slices, const std::uint8_t* p, std::size_t n,
                                    std::uint32_t crc) {
  return UpdateCrcSliced(slices, p, n, crc);
}

#endif
