#include "install/crc32.hpp"

#include <algorithm>
#include <atomic>

#include "install/crc32_kernels.hpp"

namespace {
using Road = std::uint32_t (*)(const std::uint8_t*, std::size_t, std::uint32_t);

std::uint32_t UpdateCrcTables(const std::uint8_t* p, std::size_t n, std::uint32_t crc) {
  return UpdateCrcSliced(kCrc32Slices, p, n, crc);
}

// Below kFoldFrom bytes the tables are quicker than setting up the folding
// (measured with bench/crc_bench).
constexpr std::size_t kFoldFrom = 24;

std::uint32_t FirstCall(const std::uint8_t* p, std::size_t n, std::uint32_t crc);

// The road for the processor, chosen at the first call. Set at compile time
// and loaded without a guard, so that short data pays nothing for it.
std::atomic<Road> fastestRoad{FirstCall};

std::uint32_t FirstCall(const std::uint8_t* p, std::size_t n, std::uint32_t crc) {
  const Road road = HasWideCarrylessMultiply() ? UpdateCrcCarryless512
                    : HasCarrylessMultiply()   ? UpdateCrcCarryless
                                               : UpdateCrcTables;
  fastestRoad.store(road, std::memory_order_relaxed);
  return road(p, n, crc);
}
}  // namespace

std::uint32_t UpdateCrc32(const std::uint8_t* p, std::size_t n, std::uint32_t crc) {
  if (n < kFoldFrom) return UpdateCrcTables(p, n, crc);
  return fastestRoad.load(std::memory_order_relaxed)(p, n, crc);
}

std::int32_t CrcCalculator::InitCrcTable(std::int32_t lPolynomial, std::int32_t lStart) {
  const auto polynomial = static_cast<std::uint32_t>(lPolynomial);
  standard_ = polynomial == static_cast<std::uint32_t>(kCrc32Polynomial);
  if (standard_) {
    slices_.reset();
  } else {
    slices_ = std::make_unique<CrcSliceTables>(MakeSliceTables(polynomial));
  }
  const auto& table = standard_ ? kCrc32Slices[0] : (*slices_)[0];
  std::transform(table.begin(), table.end(), CrcTable.begin(),
                 [](std::uint32_t c) { return static_cast<std::int32_t>(c); });
  return lStart;
}

std::int32_t CrcCalculator::UpdateCrc(std::span<const std::uint8_t> sData, std::int32_t lCrc) const {
  auto crc = static_cast<std::uint32_t>(lCrc);
  if (standard_) {
    crc = UpdateCrc32(sData.data(), sData.size(), crc);
  } else if (slices_) {
    crc = UpdateCrcSliced(*slices_, sData.data(), sData.size(), crc);
  } else {
    // Before the first InitCrcTable the table is all zeros.
    for (const std::uint8_t b : sData) crc = (crc >> 8) ^ static_cast<std::uint32_t>(CrcTable[(crc & 0xFF) ^ b]);
  }
  return static_cast<std::int32_t>(crc);
}

std::int32_t CrcCalculator::UpdateCrc(std::string_view sData, std::int32_t lCrc) const {
  return UpdateCrc(std::span(reinterpret_cast<const std::uint8_t*>(sData.data()), sData.size()), lCrc);
}

std::int32_t FinishCrc(std::int32_t lCrc) { return ~lCrc; }

std::uint32_t Crc32(std::span<const std::uint8_t> data) { return ~UpdateCrc32(data.data(), data.size(), 0xFFFFFFFFu); }

std::uint32_t Crc32(std::string_view data) {
  return Crc32(std::span(reinterpret_cast<const std::uint8_t*>(data.data()), data.size()));
}
