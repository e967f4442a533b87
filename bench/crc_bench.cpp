// The CRC-32 of the integrity check against zlib's crc32_z and ISA-L's
// crc32_gzip_refl on the same buffers in the same run, from a few bytes to
// 256 MiB, with a vectorised read of the buffer as the physical limit.
// After the usual output, a table gives the best rate of every contender
// per size and the ratios ours/ISA-L, ours/zlib and ours/memread.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "install/crc32.hpp"
#include "install/crc32_kernels.hpp"

#if defined(LARKSPIRE_HAVE_ISAL)
#include <isa-l/crc.h>
#endif

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {
constexpr std::size_t kLargest = std::size_t{256} << 20;

const std::uint8_t* Buffer() {
  static const std::uint8_t* data = [] {
    auto* v = static_cast<std::uint8_t*>(std::aligned_alloc(64, kLargest));
    std::mt19937_64 gen(42);
    for (std::size_t i = 0; i < kLargest; i += 8) {
      const std::uint64_t r = gen();
      for (int b = 0; b < 8; ++b) v[i + b] = static_cast<std::uint8_t>(r >> (8 * b));
    }
    return v;
  }();
  return data;
}

const CrcCalculator& Calculator() {
  static const auto calc = [] {
    auto c = std::make_unique<CrcCalculator>();
    c->InitCrcTable(kCrc32Polynomial, -1);
    return c;
  }();
  return *calc;
}

// Reading every byte once, 256 bytes a step into independent registers, so
// that nothing but the loads limits it.
#if defined(__x86_64__)
__attribute__((target("avx2"))) std::uint64_t OrLanes(__m256i v) {
  const __m128i half = _mm_or_si128(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
  return static_cast<std::uint64_t>(_mm_extract_epi64(half, 0) | _mm_extract_epi64(half, 1));
}

__attribute__((target("avx2,avx512f"))) std::uint64_t ReadAvx512(const std::uint8_t* p, std::size_t n) {
  __m512i a = _mm512_setzero_si512(), b = a, c = a, d = a;
  for (; n >= 256; p += 256, n -= 256) {
    a = _mm512_or_si512(a, _mm512_loadu_si512(p));
    b = _mm512_or_si512(b, _mm512_loadu_si512(p + 64));
    c = _mm512_or_si512(c, _mm512_loadu_si512(p + 128));
    d = _mm512_or_si512(d, _mm512_loadu_si512(p + 192));
  }
  for (; n > 0; --n) a = _mm512_or_si512(a, _mm512_set1_epi8(static_cast<char>(*p++)));
  const __m512i all = _mm512_ternarylogic_epi64(a, b, _mm512_or_si512(c, d), 0xFE);  // a | b | (c | d)
  return OrLanes(
      _mm256_or_si256(_mm512_maskz_extracti64x4_epi64(0xF, all, 0), _mm512_maskz_extracti64x4_epi64(0xF, all, 1)));
}

__attribute__((target("avx2"))) std::uint64_t ReadAvx2(const std::uint8_t* p, std::size_t n) {
  __m256i a = _mm256_setzero_si256(), b = a, c = a, d = a;
  for (; n >= 128; p += 128, n -= 128) {
    a = _mm256_or_si256(a, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
    b = _mm256_or_si256(b, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32)));
    c = _mm256_or_si256(c, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 64)));
    d = _mm256_or_si256(d, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 96)));
  }
  for (; n > 0; --n) a = _mm256_or_si256(a, _mm256_set1_epi8(static_cast<char>(*p++)));
  return OrLanes(_mm256_or_si256(_mm256_or_si256(a, b), _mm256_or_si256(c, d)));
}
#endif

std::uint64_t ReadMemory(const std::uint8_t* p, std::size_t n) {
#if defined(__x86_64__)
  static const bool wide = __builtin_cpu_supports("avx512f");
  return wide ? ReadAvx512(p, n) : ReadAvx2(p, n);
#else
  std::uint64_t acc = 0;
  for (std::size_t i = 0; i < n; ++i) acc |= p[i];
  return acc;
#endif
}

std::uint64_t Ours(const std::uint8_t* p, std::size_t n) {
  return static_cast<std::uint32_t>(Calculator().UpdateCrc(std::span(p, n), -1));
}
std::uint64_t OneShot(const std::uint8_t* p, std::size_t n) { return Crc32(std::span(p, n)); }
#if defined(LARKSPIRE_HAVE_ISAL)
std::uint64_t IsaL(const std::uint8_t* p, std::size_t n) { return crc32_gzip_refl(0, p, n); }
#endif
std::uint64_t Zlib(const std::uint8_t* p, std::size_t n) { return crc32_z(0, p, n); }
std::uint64_t Sliced(const std::uint8_t* p, std::size_t n) { return UpdateCrcSliced(kCrc32Slices, p, n, ~0u); }
std::uint64_t Carryless(const std::uint8_t* p, std::size_t n) { return UpdateCrcCarryless(p, n, ~0u); }
std::uint64_t Carryless512(const std::uint8_t* p, std::size_t n) { return UpdateCrcCarryless512(p, n, ~0u); }

template <std::uint64_t (*kFn)(const std::uint8_t*, std::size_t), bool (*kAvailable)() = nullptr>
void Measure(benchmark::State& state) {
  if (kAvailable && !kAvailable()) return state.SkipWithError("not on this processor");
  const std::uint8_t* data = Buffer();
  const auto n = static_cast<std::size_t>(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(kFn(data, n));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

struct Column {
  const char* name;
  void (*measure)(benchmark::State&);
};

// The columns of the summary, in order; "ours" is the calculator the
// integrity check uses.
const std::vector<Column> kColumns = {
    {"ours", Measure<Ours>},
    {"one-shot", Measure<OneShot>},
    // The roads the calculator chooses from.
    {"tables", Measure<Sliced>},
    {"clmul128", Measure<Carryless, HasCarrylessMultiply>},
    {"clmul512", Measure<Carryless512, HasWideCarrylessMultiply>},
#if defined(LARKSPIRE_HAVE_ISAL)
    {"ISA-L", Measure<IsaL>},
#endif
    {"zlib", Measure<Zlib>},
    {"memread", Measure<ReadMemory>},
};

const std::vector<std::size_t> kSizes = {1,       8,       16,       32,        64,      256,
                                         1 << 10, 4 << 10, 64 << 10, 256 << 10, 1 << 20, kLargest};

std::string SizeText(std::size_t n) {
  if (n >= (1u << 20)) return std::to_string(n >> 20) + " MiB";
  if (n >= (1u << 10)) return std::to_string(n >> 10) + " KiB";
  return std::to_string(n) + " B";
}

// The console output as usual, and the best rate of every repetition kept
// for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      const auto rate = run.counters.find("bytes_per_second");
      if (rate == run.counters.end()) continue;
      double& best = best_[{run.run_name.function_name, std::stoull(run.run_name.args)}];
      best = std::max(best, static_cast<double>(rate->second));
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nBest of repetitions, GB/s (10^9 bytes per second):\n%-8s", "size");
    for (const Column& c : kColumns) std::printf(" %9s", c.name);
    std::printf(" %11s %10s %13s\n", "ours/ISA-L", "ours/zlib", "ours/memread");
    for (const std::size_t n : kSizes) {
      if (!best_.contains({"ours", n})) continue;
      std::printf("%-8s", SizeText(n).c_str());
      for (const Column& c : kColumns) {
        if (Rate(c.name, n) == 0.0) {
          std::printf(" %9s", "-");
        } else {
          std::printf(" %9.2f", Rate(c.name, n));
        }
      }
      std::printf(" %11s %10s %13s\n", Ratio("ISA-L", n).c_str(), Ratio("zlib", n).c_str(),
                  Ratio("memread", n).c_str());
    }
  }

 private:
  double Rate(const std::string& name, std::size_t n) const {
    const auto it = best_.find({name, n});
    return it == best_.end() ? 0.0 : it->second / 1e9;
  }
  std::string Ratio(const std::string& name, std::size_t n) const {
    if (Rate(name, n) == 0.0) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", Rate("ours", n) / Rate(name, n));
    return text;
  }

  std::map<std::pair<std::string, std::size_t>, double> best_;
};
}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  Buffer();
  for (const Column& c : kColumns)
    for (const std::size_t n : kSizes)
      benchmark::RegisterBenchmark(c.name, c.measure)->Arg(static_cast<std::int64_t>(n));
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
