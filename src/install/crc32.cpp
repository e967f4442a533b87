#include "install/crc32.hpp"

#include "install/crc32_kernels.hpp"

CrcCalculator::CrcCalculator() : slices_(std::make_unique<CrcSliceTables>()) {}

std::int32_t CrcCalculator::InitCrcTable(std::int32_t lPolynomial, std::int32_t lStart) {
  polynomial_ = static_cast<std::uint32_t>(lPolynomial);
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? (c >> 1) ^ polynomial_ : c >> 1;
    CrcTable[i] = static_cast<std::int32_t>(c);
    (*slices_)[0][i] = c;
  }
  BuildSliceTables(*slices_);
  return lStart;
}

std::int32_t CrcCalculator::UpdateCrc(std::span<const std::uint8_t> sData, std::int32_t lCrc) const {
  const auto crc = static_cast<std::uint32_t>(lCrc);
  const std::uint8_t* p = sData.data();
  const std::size_t n = sData.size();
  // Carry-less folding knows only the standard polynomial.
  if (polynomial_ != static_cast<std::uint32_t>(kCrc32Polynomial) || !HasCarrylessMultiply())
    return static_cast<std::int32_t>(UpdateCrcSliced(*slices_, p, n, crc));
  if (HasWideCarrylessMultiply()) return static_cast<std::int32_t>(UpdateCrcCarryless512(*slices_, p, n, crc));
  return static_cast<std::int32_t>(UpdateCrcCarryless(*slices_, p, n, crc));
}

std::int32_t CrcCalculator::UpdateCrc(std::string_view sData, std::int32_t lCrc) const {
  return UpdateCrc(std::span(reinterpret_cast<const std::uint8_t*>(sData.data()), sData.size()), lCrc);
}

std::int32_t FinishCrc(std::int32_t lCrc) { return ~lCrc; }

std::uint32_t UpdateCrcBytewise(const std::array<std::int32_t, 256>& table, std::span<const std::uint8_t> data,
                                std::uint32_t crc) {
  for (const std::uint8_t b : data) crc = (crc >> 8) ^ static_cast<std::uint32_t>(table[(crc & 0xFF) ^ b]);
  return crc;
}

std::uint32_t Crc32(std::span<const std::uint8_t> data) {
  CrcCalculator calc;
  const std::int32_t start = calc.InitCrcTable(kCrc32Polynomial, -1);
  return static_cast<std::uint32_t>(FinishCrc(calc.UpdateCrc(data, start)));
}

std::uint32_t Crc32(std::string_view data) {
  return Crc32(std::span(reinterpret_cast<const std::uint8_t*>(data.data()), data.size()));
}
