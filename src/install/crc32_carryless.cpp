// CRC-32 by folding: the data is read as one long polynomial, and blocks of
// it are carried forward with carry-less multiplications by powers of x
// modulo the CRC polynomial, eight 16-byte lanes at a time (or four 64-byte
// lanes where the processor multiplies 512 bits at once). The lanes are
// then folded into one 16-byte block with the same remainder, which is
// reduced to the register by more multiplications; only the last few bytes
// go through the tables. The multipliers are worked out, and checked
// against the bitwise CRC, by the compiler.
#include "install/crc32_kernels.hpp"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>

#define LARKSPIRE_CLMUL __attribute__((target("sse4.1,pclmul"), always_inline)) inline
#define LARKSPIRE_CLMUL512 __attribute__((target("avx2,avx512f,avx512vl,vpclmulqdq,pclmul"), always_inline)) inline

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
// operands comes out one degree up, hence the minus one. The first key
// goes with the first half.
constexpr std::array<std::uint64_t, 2> FoldKeys(unsigned d) {
  return {std::uint64_t{XPowMod(d + 64 - 1)} << 32, std::uint64_t{XPowMod(d - 1)} << 32};
}

// What a fold must do, checked by the compiler against the bitwise CRC: a
// block moved forward by d bits leaves the remainder of the block followed
// by d zero bits.
struct Block {
  std::uint64_t first, second;  // bytes 0-7 and 8-15, little-endian
};

constexpr Block CarrylessProduct(std::uint64_t a, std::uint64_t b) {
  Block r{0, 0};
  for (unsigned i = 0; i < 64; ++i)
    if ((b >> i) & 1) {
      r.first ^= a << i;
      if (i > 0) r.second ^= a >> (64 - i);
    }
  return r;
}

template <std::size_t kBytes>
constexpr std::uint32_t BitwiseCrc(const std::array<std::uint8_t, kBytes>& data) {
  std::uint32_t crc = 0;
  for (const std::uint8_t byte : data) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ kPolynomial : crc >> 1;
  }
  return crc;
}

template <unsigned kDistance>
constexpr bool MovesLikeZeros(Block block) {
  const auto keys = FoldKeys(kDistance);
  const Block a = CarrylessProduct(block.first, keys[0]);
  const Block b = CarrylessProduct(block.second, keys[1]);
  const Block moved{a.first ^ b.first, a.second ^ b.second};
  std::array<std::uint8_t, 16 + kDistance / 8> padded{};
  std::array<std::uint8_t, 16> folded{};
  for (unsigned i = 0; i < 8; ++i) {
    padded[i] = static_cast<std::uint8_t>(block.first >> (8 * i));
    padded[8 + i] = static_cast<std::uint8_t>(block.second >> (8 * i));
    folded[i] = static_cast<std::uint8_t>(moved.first >> (8 * i));
    folded[8 + i] = static_cast<std::uint8_t>(moved.second >> (8 * i));
  }
  return BitwiseCrc(padded) == BitwiseCrc(folded);
}

// The last 16-byte block down to the register, without tables: its first
// half moves 96 bits on and its second half 32, which leaves 96 bits; the
// top 32 of those move 64 bits on, which leaves 64; Barrett's reduction by
// the quotient floor(x^64 / P) takes those to the 32-bit remainder. Both
// constants of the reduction are 33 bits, bit-reflected.
constexpr std::uint64_t Reflect33(std::uint64_t v) {
  std::uint64_t r = 0;
  for (int i = 0; i < 33; ++i) r |= ((v >> i) & 1) << (32 - i);
  return r;
}

constexpr std::uint64_t kReflectedPolynomial33 = (std::uint64_t{kPolynomial} << 1) | 1;

constexpr std::uint64_t BarrettQuotient() {
  const std::uint64_t polynomial = Reflect33(kReflectedPolynomial33);  // x^32 + ... + 1 in plain order
  unsigned __int128 rest = static_cast<unsigned __int128>(1) << 64;
  std::uint64_t quotient = 0;
  for (int i = 64; i >= 32; --i)
    if ((rest >> i) & 1) {
      rest ^= static_cast<unsigned __int128>(polynomial) << (i - 32);
      quotient |= std::uint64_t{1} << (i - 32);
    }
  return Reflect33(quotient);
}

struct ReductionKeys {
  std::uint64_t first96, second32, top64, quotient, polynomial;
};
constexpr ReductionKeys kReduction{std::uint64_t{XPowMod(95)} << 32, std::uint64_t{XPowMod(31)} << 32,
                                   std::uint64_t{XPowMod(63)} << 32, BarrettQuotient(), kReflectedPolynomial33};

constexpr std::uint32_t ReduceModel(Block block) {
  const Block a = CarrylessProduct(block.first, kReduction.first96);
  const Block b = CarrylessProduct(block.second, kReduction.second32);
  const Block left96{a.first ^ b.first, a.second ^ b.second};
  const std::uint64_t left64 = CarrylessProduct(left96.first, kReduction.top64).second ^ left96.second;
  const std::uint64_t quotient = CarrylessProduct(left64 & 0xFFFFFFFFu, kReduction.quotient).first & 0xFFFFFFFFu;
  return static_cast<std::uint32_t>((CarrylessProduct(quotient, kReduction.polynomial).first ^ left64) >> 32);
}

constexpr bool ReducesLikeTheBitwiseCrc(Block block) {
  std::array<std::uint8_t, 16> bytes{};
  for (unsigned i = 0; i < 8; ++i) {
    bytes[i] = static_cast<std::uint8_t>(block.first >> (8 * i));
    bytes[8 + i] = static_cast<std::uint8_t>(block.second >> (8 * i));
  }
  return ReduceModel(block) == BitwiseCrc(bytes);
}
static_assert(ReducesLikeTheBitwiseCrc({0x0123456789ABCDEFu, 0}) &&
              ReducesLikeTheBitwiseCrc({0, 0xF0E1D2C3B4A59687u}) && ReducesLikeTheBitwiseCrc({~0ull, ~0ull}));

// The keys for a distance, as constants of the program.
template <unsigned kDistance>
constexpr std::array<std::uint64_t, 2> CheckedFoldKeys() {
  static_assert(kDistance % 32 == 0);
  static_assert(MovesLikeZeros<kDistance>({0x0123456789ABCDEFu, 0}) &&
                MovesLikeZeros<kDistance>({0, 0xF0E1D2C3B4A59687u}));
  return FoldKeys(kDistance);
}

template <unsigned kDistance>
inline constexpr std::array<std::uint64_t, 2> kFoldKeys = CheckedFoldKeys<kDistance>();

template <unsigned kDistance>
LARKSPIRE_CLMUL __m128i Keys() {
  return _mm_set_epi64x(static_cast<long long>(kFoldKeys<kDistance>[1]),
                        static_cast<long long>(kFoldKeys<kDistance>[0]));
}

LARKSPIRE_CLMUL __m128i Load(const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

// block moved forward by kDistance bits, onto next.
template <unsigned kDistance>
LARKSPIRE_CLMUL __m128i Fold(__m128i block, __m128i next) {
  const __m128i keys = Keys<kDistance>();
  const __m128i first = _mm_clmulepi64_si128(block, keys, 0x00);
  const __m128i second = _mm_clmulepi64_si128(block, keys, 0x11);
  return _mm_xor_si128(_mm_xor_si128(first, second), next);
}

// The register joins the data as its first 32 bits; folding then goes on
// from a register of zero.
LARKSPIRE_CLMUL __m128i LoadFirst(const std::uint8_t* p, std::uint32_t crc) {
  return _mm_xor_si128(Load(p), _mm_cvtsi32_si128(static_cast<int>(crc)));
}

// The register of acc, by the reduction above.
LARKSPIRE_CLMUL std::uint32_t Reduce(__m128i acc) {
  const __m128i halves =
      _mm_set_epi64x(static_cast<long long>(kReduction.second32), static_cast<long long>(kReduction.first96));
  const __m128i left96 =
      _mm_xor_si128(_mm_clmulepi64_si128(acc, halves, 0x00), _mm_clmulepi64_si128(acc, halves, 0x11));
  const __m128i top = _mm_cvtsi64_si128(static_cast<long long>(kReduction.top64));
  const __m128i left64 = _mm_srli_si128(_mm_xor_si128(_mm_clmulepi64_si128(left96, top, 0x00), left96), 8);
  const __m128i barrett =
      _mm_set_epi64x(static_cast<long long>(kReduction.polynomial), static_cast<long long>(kReduction.quotient));
  const __m128i low32 = _mm_cvtsi32_si128(-1);
  const __m128i quotient = _mm_and_si128(_mm_clmulepi64_si128(_mm_and_si128(left64, low32), barrett, 0x00), low32);
  return static_cast<std::uint32_t>(
      _mm_extract_epi32(_mm_xor_si128(_mm_clmulepi64_si128(quotient, barrett, 0x10), left64), 1));
}

// Folds the remaining 16-byte blocks into acc, reduces it to the register
// and runs the tables over the last few bytes.
LARKSPIRE_CLMUL std::uint32_t FinishFolding(__m128i acc, const std::uint8_t* p, std::size_t n) {
  for (; n >= 16; p += 16, n -= 16) acc = Fold<128>(acc, Load(p));
  return UpdateCrcSliced(kCrc32Slices, p, n, Reduce(acc));
}

// Keys for a 16-byte quarter of a 64-byte block; a distance of 0 gives
// zero keys, which leave nothing of the quarter in the products.
template <unsigned kDistance>
inline constexpr std::array<std::uint64_t, 2> kQuarterKeys = kFoldKeys<kDistance>;
template <>
inline constexpr std::array<std::uint64_t, 2> kQuarterKeys<0> = {0, 0};

template <unsigned kD0, unsigned kD1, unsigned kD2, unsigned kD3>
LARKSPIRE_CLMUL512 __m512i Keys512() {
  constexpr auto s = [](std::uint64_t key) { return static_cast<long long>(key); };
  return _mm512_set_epi64(s(kQuarterKeys<kD3>[1]), s(kQuarterKeys<kD3>[0]), s(kQuarterKeys<kD2>[1]),
                          s(kQuarterKeys<kD2>[0]), s(kQuarterKeys<kD1>[1]), s(kQuarterKeys<kD1>[0]),
                          s(kQuarterKeys<kD0>[1]), s(kQuarterKeys<kD0>[0]));
}

LARKSPIRE_CLMUL512 __m512i Load512(const std::uint8_t* p) { return _mm512_loadu_si512(p); }

// Every 16-byte quarter of block moved forward by kDistance bits, onto next.
template <unsigned kDistance>
LARKSPIRE_CLMUL512 __m512i Fold512(__m512i block, __m512i next) {
  const __m512i keys = Keys512<kDistance, kDistance, kDistance, kDistance>();
  const __m512i first = _mm512_clmulepi64_epi128(block, keys, 0x00);
  const __m512i second = _mm512_clmulepi64_epi128(block, keys, 0x11);
  return _mm512_ternarylogic_epi64(first, second, next, 0x96);  // three-way XOR
}

// The four quarters of a 64-byte block folded onto the last one.
LARKSPIRE_CLMUL512 __m128i Narrow(__m512i block) {
  // Quarters 0 to 2 move by 384, 256 and 128 bits; quarter 3 joins as it
  // is.
  const __m512i keys = Keys512<384, 256, 128, 0>();
  const __m512i first = _mm512_clmulepi64_epi128(block, keys, 0x00);
  const __m512i second = _mm512_clmulepi64_epi128(block, keys, 0x11);
  const __m512i all = _mm512_ternarylogic_epi64(first, second, _mm512_maskz_mov_epi64(0xC0, block), 0x96);
  const __m256i half =
      _mm256_xor_si256(_mm512_maskz_extracti64x4_epi64(0xF, all, 0), _mm512_maskz_extracti64x4_epi64(0xF, all, 1));
  return _mm_xor_si128(_mm256_castsi256_si128(half), _mm256_extracti128_si256(half, 1));
}
}  // namespace

bool HasCarrylessMultiply() {
  static const bool has = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
  return has;
}

bool HasWideCarrylessMultiply() {
  static const bool has = HasCarrylessMultiply() && __builtin_cpu_supports("avx2") &&
                          __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
                          __builtin_cpu_supports("vpclmulqdq");
  return has;
}

__attribute__((target("sse4.1,pclmul"))) std::uint32_t UpdateCrcCarryless(const std::uint8_t* p, std::size_t n,
                                                                          std::uint32_t crc) {
  if (n < 16) return UpdateCrcSliced(kCrc32Slices, p, n, crc);
  if (n < 256) {
    const __m128i acc = LoadFirst(p, crc);
    return FinishFolding(acc, p + 16, n - 16);
  }

  // Eight lanes, each moved forward by the whole stride of 128 bytes.
  __m128i x0 = LoadFirst(p, crc), x1 = Load(p + 16), x2 = Load(p + 32), x3 = Load(p + 48);
  __m128i x4 = Load(p + 64), x5 = Load(p + 80), x6 = Load(p + 96), x7 = Load(p + 112);
  for (p += 128, n -= 128; n >= 128; p += 128, n -= 128) {
    x0 = Fold<1024>(x0, Load(p));
    x1 = Fold<1024>(x1, Load(p + 16));
    x2 = Fold<1024>(x2, Load(p + 32));
    x3 = Fold<1024>(x3, Load(p + 48));
    x4 = Fold<1024>(x4, Load(p + 64));
    x5 = Fold<1024>(x5, Load(p + 80));
    x6 = Fold<1024>(x6, Load(p + 96));
    x7 = Fold<1024>(x7, Load(p + 112));
  }
  // Every lane onto the last, all at once.
  const __m128i zero = _mm_setzero_si128();
  const __m128i a = _mm_xor_si128(Fold<896>(x0, x7), Fold<768>(x1, zero));
  const __m128i b = _mm_xor_si128(Fold<640>(x2, zero), Fold<512>(x3, zero));
  const __m128i c = _mm_xor_si128(Fold<384>(x4, zero), Fold<256>(x5, zero));
  const __m128i acc = _mm_xor_si128(_mm_xor_si128(a, b), _mm_xor_si128(c, Fold<128>(x6, zero)));
  return FinishFolding(acc, p, n);
}

__attribute__((target("avx2,avx512f,avx512vl,vpclmulqdq,sse4.1,pclmul"))) std::uint32_t UpdateCrcCarryless512(
    const std::uint8_t* p, std::size_t n, std::uint32_t crc) {
  if (n < 64) return UpdateCrcCarryless(p, n, crc);
  __m512i acc = _mm512_xor_si512(Load512(p), _mm512_zextsi128_si512(_mm_cvtsi32_si128(static_cast<int>(crc))));
  p += 64;
  n -= 64;
  if (n >= 192) {
    // Four lanes, each moved forward by the whole stride of 256 bytes.
    __m512i z0 = acc, z1 = Load512(p), z2 = Load512(p + 64), z3 = Load512(p + 128);
    for (p += 192, n -= 192; n >= 256; p += 256, n -= 256) {
      z0 = Fold512<2048>(z0, Load512(p));
      z1 = Fold512<2048>(z1, Load512(p + 64));
      z2 = Fold512<2048>(z2, Load512(p + 128));
      z3 = Fold512<2048>(z3, Load512(p + 192));
    }
    // Every lane onto the last, all at once.
    acc = _mm512_ternarylogic_epi64(Fold512<1536>(z0, z3), Fold512<1024>(z1, _mm512_setzero_si512()),
                                    Fold512<512>(z2, _mm512_setzero_si512()), 0x96);
  }
  for (; n >= 64; p += 64, n -= 64) acc = Fold512<512>(acc, Load512(p));
  return FinishFolding(Narrow(acc), p, n);
}

#else

bool HasCarrylessMultiply() { return false; }
bool HasWideCarrylessMultiply() { return false; }

std::uint32_t UpdateCrcCarryless(const std::uint8_t* p, std::size_t n, std::uint32_t crc) {
  return UpdateCrcSliced(kCrc32Slices, p, n, crc);
}

std::uint32_t UpdateCrcCarryless512(const std::uint8_t* p, std::size_t n, std::uint32_t crc) {
  return UpdateCrcSliced(kCrc32Slices, p, n, crc);
}

#endif
