// Any bytes given to the registry-file reader either parse or are rejected;
// what parses saves and parses again to the same text, for a hive of either
// code page.
#include "backends/common/registry_file_format.hpp"
#include "fuzz_input.hpp"

void Fuzz(const std::uint8_t*, std::size_t, std::string_view text) {
  for (const TextCodePage cp : {TextCodePage::Windows1252, TextCodePage::Utf8}) {
    RegistryHive hive(cp), again(cp);
    if (!ParseRegistryFile(text, &hive, nullptr)) continue;
    const std::string saved = SerializeRegistryFile(hive);
    Check(ParseRegistryFile(saved, &again, nullptr) && SerializeRegistryFile(again) == saved);
  }
}
