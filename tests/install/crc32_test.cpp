// The CRC-32: known answers, and every road the processor has against zlib
// at every short length and at random long ones, from random alignments and
// registers.
#include "install/crc32.hpp"

#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>
#include <random>

#include "install/crc32_kernels.hpp"
#include "install/integrity.hpp"

namespace {
TEST(Crc32, KnownAnswers) {
  const struct {
    std::string data;
    const char* crc;
  } rows[] = {
      {"", "00000000"},
      {"a", "E8B7BE43"},
      {"123456789", "CBF43926"},
      {"The quick brown fox jumps over the lazy dog", "414FA339"},
      {"package 23", "07A1C45A"},
      {std::string(32, '\0'), "190A55AD"},
      {std::string(32, '\xFF'), "FF6CAB0B"},
  };
  CrcCalculator calc;
  for (const auto& r : rows) {
    const std::int32_t reg = calc.InitCrcTable(kCrc32Polynomial, -1);
    EXPECT_EQ(FormatCrc(static_cast<std::uint32_t>(FinishCrc(calc.UpdateCrc(r.data, reg)))), r.crc) << r.data;
    EXPECT_EQ(FormatCrc(Crc32(r.data)), r.crc) << r.data;
  }
}

TEST(Crc32, EveryRoadMatchesZlibAtAnyLengthAlignmentAndRegister) {
  CrcCalculator calc;
  calc.InitCrcTable(kCrc32Polynomial, -1);
  const struct {
    const char* name;
    bool available;
    std::function<std::uint32_t(const std::uint8_t*, std::size_t, std::uint32_t)> update;
  } roads[] = {
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
  for (std::size_t i = 0; i <= 1200; ++i) {
    const std::size_t n = i <= 1100 ? i : gen() % (1 << 20);
    const std::size_t offset = gen() % 64;
    const std::uint8_t* p = buffer.data() + offset;
    const auto reg = static_cast<std::uint32_t>(gen());
    // zlib takes and gives the complement of the register.
    const auto expected = ~static_cast<std::uint32_t>(crc32_z(~reg, p, n));
    for (const auto& road : roads) {
      if (road.available) {
        ASSERT_EQ(road.update(p, n, reg), expected) << road.name << ", length " << n << ", offset " << offset;
      }
    }
  }
}
}  // namespace
