// The CRC-32 loop of the integrity check against zlib's crc32 and against
// the byte-at-a-time table loop, on the same buffers in the same run. A
// plain read of the buffer gives the memory bandwidth for comparison.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <random>
#include <vector>

#include "install/crc32.hpp"
#include "install/crc32_kernels.hpp"

namespace {
const std::vector<std::uint8_t>& Buffer() {
  static const std::vector<std::uint8_t> data = [] {
    std::vector<std::uint8_t> v(256u << 20);
    std::mt19937_64 gen(42);
    for (std::size_t i = 0; i + 8 <= v.size(); i += 8) {
      const std::uint64_t r = gen();
      for (int b = 0; b < 8; ++b) v[i + b] = static_cast<std::uint8_t>(r >> (8 * b));
    }
    return v;
  }();
  return data;
}

const CrcCalculator& Calculator() {
  static const CrcCalculator calc = [] {
    CrcCalculator c;
    c.InitCrcTable(kCrc32Polynomial, -1);
    return c;
  }();
  return calc;
}

template <typename Fn>
void Run(benchmark::State& state, Fn fn) {
  const std::size_t n = static_cast<std::size_t>(state.range(0));
  const std::uint8_t* data = Buffer().data();
  for (auto _ : state) benchmark::DoNotOptimize(fn(data, n));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(n));
}

void BM_UpdateCrc(benchmark::State& state) {
  Run(state, [](const std::uint8_t* p, std::size_t n) { return Calculator().UpdateCrc(std::span(p, n), -1); });
}

void BM_UpdateCrcSlices(benchmark::State& state) {
  CrcSliceTables slices{};
  for (int i = 0; i < 256; ++i) slices[0][i] = static_cast<std::uint32_t>(Calculator().CrcTable[i]);
  BuildSliceTables(slices);
  Run(state, [&](const std::uint8_t* p, std::size_t n) { return UpdateCrcSliced(slices, p, n, 0xFFFFFFFFu); });
}

void BM_UpdateCrcCarryless128(benchmark::State& state) {
  if (!HasCarrylessMultiply()) return state.SkipWithError("no carry-less multiplication");
  CrcSliceTables slices{};
  for (int i = 0; i < 256; ++i) slices[0][i] = static_cast<std::uint32_t>(Calculator().CrcTable[i]);
  BuildSliceTables(slices);
  Run(state, [&](const std::uint8_t* p, std::size_t n) { return UpdateCrcCarryless(slices, p, n, 0xFFFFFFFFu); });
}

void BM_ZlibCrc32(benchmark::State& state) {
  Run(state, [](const std::uint8_t* p, std::size_t n) { return crc32(0L, p, static_cast<uInt>(n)); });
}

void BM_ByteTable(benchmark::State& state) {
  Run(state, [](const std::uint8_t* p, std::size_t n) {
    return UpdateCrcBytewise(Calculator().CrcTable, std::span(p, n), 0xFFFFFFFFu);
  });
}

// Reading every word once: what the memory delivers to one core.
void BM_MemoryRead(benchmark::State& state) {
  Run(state, [](const std::uint8_t* p, std::size_t n) {
    std::uint64_t acc = 0;
    const auto* w = reinterpret_cast<const std::uint64_t*>(p);
    for (std::size_t i = 0; i < n / 8; ++i) acc ^= w[i];
    return acc;
  });
}

constexpr std::int64_t kSmall = 1 << 20;
constexpr std::int64_t kLarge = 256 << 20;
}  // namespace

BENCHMARK(BM_UpdateCrc)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UpdateCrcCarryless128)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UpdateCrcSlices)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ZlibCrc32)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ByteTable)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MemoryRead)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMicrosecond);
