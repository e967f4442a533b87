// The CRC-32: standard check values, every road against the plain byte
// table and against zlib on random data of many lengths, and pieces.
#include "install/crc32.hpp"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <vector>

#include "install/crc32_kernels.hpp"
#include "install/integrity.hpp"

namespace {
std::vector<std::uint8_t> RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::vector<std::uint8_t> v(n);
  for (auto& b : v) b = static_cast<std::uint8_t>(gen());
  return v;
}

std::uint32_t Zlib(const std::vector<std::uint8_t>& v) {
  return static_cast<std::uint32_t>(crc32(0L, v.data(), static_cast<uInt>(v.size())));
}

struct KnownAnswer {
  const char* text;
  std::uint32_t crc;
};

TEST(Crc32, StandardCheckValues) {
  const KnownAnswer answers[] = {
      {"", 0x00000000u},
      {"a", 0xE8B7BE43u},
      {"abc", 0x352441C2u},
      {"123456789", 0xCBF43926u},
      {"The quick brown fox jumps over the lazy dog", 0x414FA339u},
      {"message digest", 0x20159D7Fu},
      {"abcdefghijklmnopqrstuvwxyz", 0x4C2750BDu},
  };
  for (const auto& a : answers) {
    EXPECT_EQ(Crc32(std::string_view(a.text)), a.crc) << a.text;
    EXPECT_EQ(FormatCrc(Crc32(std::string_view(a.text))), FormatCrc(a.crc)) << a.text;
  }
  EXPECT_EQ(FormatCrc(0xCBF43926u), "CBF43926");
  EXPECT_EQ(FormatCrc(0x0000ABCDu), "0000ABCD");
}

TEST(Crc32, InitFillsTheTableAndReturnsTheStart) {
  CrcCalculator calc;
  EXPECT_EQ(calc.InitCrcTable(kCrc32Polynomial, -1), -1);
  EXPECT_EQ(calc.InitCrcTable(kCrc32Polynomial, 12345), 12345);
  // Well-known entries of the reflected table.
  EXPECT_EQ(calc.CrcTable[0], 0);
  EXPECT_EQ(static_cast<std::uint32_t>(calc.CrcTable[1]), 0x77073096u);
  EXPECT_EQ(static_cast<std::uint32_t>(calc.CrcTable[128]), 0xEDB88320u);
  EXPECT_EQ(static_cast<std::uint32_t>(calc.CrcTable[255]), 0x2D02EF8Du);
  // A second init for another polynomial clears the first.
  calc.InitCrcTable(static_cast<std::int32_t>(0x82F63B78u), 0);
  EXPECT_EQ(static_cast<std::uint32_t>(calc.CrcTable[128]), 0x82F63B78u);
  EXPECT_EQ(FinishCrc(-1), 0);
  EXPECT_EQ(FinishCrc(0), -1);
  EXPECT_EQ(FinishCrc(static_cast<std::int32_t>(0x34EE7F3Du)), static_cast<std::int32_t>(0xCB1180C2u));
}

TEST(Crc32, EveryLengthMatchesTheByteTableAndZlib) {
  CrcCalculator calc;
  const std::int32_t start = calc.InitCrcTable(kCrc32Polynomial, -1);
  const auto data = RandomBytes(5000, 1);
  // Every length around the roads' block sizes, then some larger ones.
  std::vector<std::size_t> lengths;
  for (std::size_t n = 0; n <= 600; ++n) lengths.push_back(n);
  for (std::size_t n : {1023u, 1024u, 1025u, 4095u, 4096u, 4097u, 4999u, 5000u}) lengths.push_back(n);
  for (std::size_t n : lengths) {
    const std::vector<std::uint8_t> v(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(n));
    const auto expected = ~UpdateCrcBytewise(calc.CrcTable, v, 0xFFFFFFFFu);
    ASSERT_EQ(static_cast<std::uint32_t>(FinishCrc(calc.UpdateCrc(v, start))), expected) << "length " << n;
    ASSERT_EQ(Zlib(v), expected) << "length " << n;
  }
}

TEST(Crc32, EachRoadMatchesTheByteTableOnRandomData) {
  CrcCalculator calc;
  calc.InitCrcTable(kCrc32Polynomial, -1);
  CrcSliceTables slices{};
  for (int i = 0; i < 256; ++i) slices[0][i] = static_cast<std::uint32_t>(calc.CrcTable[i]);
  BuildSliceTables(slices);
  std::mt19937 gen(7);
  for (int round = 0; round < 200; ++round) {
    const std::size_t n = gen() % 70000;
    const std::size_t offset = gen() % 16;  // unaligned starts
    const auto buffer = RandomBytes(n + offset, static_cast<unsigned>(round));
    const std::span<const std::uint8_t> v(buffer.data() + offset, n);
    const std::uint32_t reg = gen();
    const std::uint32_t expected = UpdateCrcBytewise(calc.CrcTable, v, reg);
    ASSERT_EQ(UpdateCrcSliced(slices, v.data(), n, reg), expected) << "sliced, length " << n;
    if (HasCarrylessMultiply()) {
      ASSERT_EQ(UpdateCrcCarryless(slices, v.data(), n, reg), expected) << "carry-less, length " << n;
    }
    if (HasWideCarrylessMultiply()) {
      ASSERT_EQ(UpdateCrcCarryless512(slices, v.data(), n, reg), expected) << "wide carry-less, length " << n;
    }
  }
}

TEST(Crc32, PiecesGiveTheSameRegisterAsTheWhole) {
  CrcCalculator calc;
  const std::int32_t start = calc.InitCrcTable(kCrc32Polynomial, -1);
  const auto data = RandomBytes(300000, 3);
  const std::int32_t whole = calc.UpdateCrc(data, start);
  std::mt19937 gen(11);
  std::int32_t reg = start;
  for (std::size_t at = 0; at < data.size();) {
    const std::size_t n = std::min<std::size_t>(data.size() - at, gen() % 5000);
    reg = calc.UpdateCrc(std::span(data.data() + at, n), reg);
    at += n;
  }
  EXPECT_EQ(reg, whole);
  EXPECT_EQ(static_cast<std::uint32_t>(FinishCrc(whole)), Zlib(data));
}

TEST(Crc32, OtherPolynomialsUseTheirOwnTable) {
  // CRC-32C (Castagnoli) of "123456789" is E3069283.
  CrcCalculator calc;
  const std::int32_t start = calc.InitCrcTable(static_cast<std::int32_t>(0x82F63B78u), -1);
  EXPECT_EQ(static_cast<std::uint32_t>(FinishCrc(calc.UpdateCrc(std::string_view("123456789"), start))), 0xE3069283u);
  const auto data = RandomBytes(10000, 5);
  EXPECT_EQ(static_cast<std::uint32_t>(calc.UpdateCrc(data, start)),
            UpdateCrcBytewise(calc.CrcTable, data, 0xFFFFFFFFu));
}
}  // namespace
