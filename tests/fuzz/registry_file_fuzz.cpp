// Any bytes given to the registry-file reader either parse or are rejected;
// what parses saves and parses again to the same text, for a hive of either
// code page.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "backends/common/registry_file_format.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (const TextCodePage cp : {TextCodePage::Windows1252, TextCodePage::Utf8}) {
    RegistryHive hive(cp), again(cp);
    std::string error;
    if (!ParseRegistryFile(std::string_view(reinterpret_cast<const char*>(data), size), &hive, &error)) continue;
    const std::string saved = SerializeRegistryFile(hive);
    if (!ParseRegistryFile(saved, &again, &error) || SerializeRegistryFile(again) != saved) std::abort();
  }
  return 0;
}
