// The CRC-32: standard check values, and every road the processor has
// against zlib at every short length and at random long ones, from random
// alignments and registers.
#include "install/crc32.hpp"

#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "install/crc32_kernels.hpp"

namespace {
constexpr auto kCastagnoli = static_cast<std::int32_t>(0x82F63B78u);

struct KnownAnswer {
  std::int32_t polynomial;
  std::string data;
  std::uint32_t crc;
};

TEST(Crc32, KnownAnswers) {
  const KnownAnswer answers[] = {
      {kCrc32Polynomial, "", 0x00000000u},
      {kCrc32Polynomial, "a", 0xE8B7BE43u},
      {kCrc32Polynomial, "abc", 0x352441C2u},
      {kCrc32Polynomial, "123456789", 0xCBF43926u},
      {kCrc32Polynomial, "The quick brown fox jumps over the lazy dog", 0x414FA339u},
      {kCrc32Polynomial, "abcdefghijklmnopqrstuvwxyz", 0x4C2750BDu},
      {kCrc32Polynomial, std::string(32, '\0'), 0x190A55ADu},
      {kCrc32Polynomial, std::string(32, '\xFF'), 0xFF6CAB0Bu},
      // CRC-32C (iSCSI): any other reflected polynomial goes through its
      // own table.
      {kCastagnoli, "123456789", 0xE3069283u},
      {kCastagnoli, std::string(32, '\0'), 0x8A9136AAu},
      {kCastagnoli, std::string(32, '\xFF'), 0x62A8AB43u},
  };
  // One calculator throughout: each InitCrcTable replaces the table before.
  CrcCalculator calc;
  for (const auto& a : answers) {
    const std::int32_t start = calc.InitCrcTable(a.polynomial, -1);
    EXPECT_EQ(start, -1);
    // Entry 128 is the one bit that falls off after eight shifts.
    EXPECT_EQ(calc.CrcTable[128], a.polynomial);
    EXPECT_EQ(static_cast<std::uint32_t>(FinishCrc(calc.UpdateCrc(a.data, start))), a.crc) << a.data;
    if (a.polynomial == kCrc32Polynomial) {
      EXPECT_EQ(Crc32(a.data), a.crc) << a.data;
    }
  }
}

TEST(Crc32, EveryRoadMatchesZlibAtAnyLengthAlignmentAndRegister) {
  CrcCalculator calc;
  calc.InitCrcTable(kCrc32Polynomial, -1);
  struct Road {
    const char* name;
    bool available;
    std::function<std::uint32_t(const std::uint8_t*, std::size_t, std::uint32_t)> update;
  };
  const Road roads[] = {
      {"tables", true, [](auto p, auto n, auto crc) { return UpdateCrcSliced(kCrc32Slices, p, n, crc); }},
      {"carry-less", HasCarrylessMultiply(), UpdateCrcCarryless},
      {"wide carry-less", HasWideCarrylessMultiply(), UpdateCrcCarryless512},
      {"fastest", true, UpdateCrc32},
      {"calculator, in two pieces", true,
       [&](auto p, auto n, auto crc) {
         const auto reg = calc.UpdateCrc(std::span(p, n / 3), static_cast<std::int32_t>(crc));
         return static_cast<std::uint32_t>(calc.UpdateCrc(std::span(p + n / 3, n - n / 3), reg));
       }},
  };

  std::mt19937_64 gen(20240613);
  std::vector<std::uint8_t> buffer((1 << 20) + 64);
  for (auto& b : buffer) b = static_cast<std::uint8_t>(gen());
  // Every length up to where all roads are in full stride, then long ones.
  std::vector<std::size_t> lengths;
  for (std::size_t n = 0; n <= 1100; ++n) lengths.push_back(n);
  for (int i = 0; i < 100; ++i) lengths.push_back(gen() % (1 << 20));

  for (const std::size_t n : lengths) {
    const std::size_t offset = gen() % 64;
    const std::uint8_t* p = buffer.data() + offset;
    const auto reg = static_cast<std::uint32_t>(gen());
    // zlib takes and gives the complement of the register.
    const auto expected = ~static_cast<std::uint32_t>(crc32_z(~reg, p, n));
    for (const Road& road : roads) {
      if (road.available) {
        ASSERT_EQ(road.update(p, n, reg), expected) << road.name << ", length " << n << ", offset " << offset;
      }
    }
  }
}
}  // namespace
