#pragma once
// What the fuzz targets share. Each target defines Fuzz, which sees one
// input both as bytes and as text; Check ends the run, which the fuzzer
// reports as a finding, when the target's property does not hold.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>

// The project's headers that several targets read.
#include "backends/common/percent_expansion.hpp"
#include "backends/openssl/signature_verifier.hpp"
#include "catalog/catalog_rules.hpp"
#include "catalog/number_text.hpp"
#include "install_state/version_rules.hpp"
#include "support/base64.hpp"
#include "support/codepage.hpp"

inline void Check(bool holds) { holds ? void() : std::abort(); }

// The text before the first `at` and the text after it (empty without one).
inline std::pair<std::string, std::string> Split(std::string_view text, char at = '\n') {
  const std::size_t cut = text.find(at);
  return {std::string(text.substr(0, cut)), std::string(cut == text.npos ? "" : text.substr(cut + 1))};
}

void Fuzz(const std::uint8_t* data, std::size_t size, std::string_view text);

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Fuzz(data, size, std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
