// Any bytes as the stored identifier or as a text: unscrambling never
// raises and gives no more characters than it was given, scrambling twice
// gives back any text the code page can hold, valid UTF-8 survives UTF-16
// both ways, and an identifier made from any GUID is valid and comes back
// from its stored form (71 bytes written, a 0 added when read).
#include <cstdlib>
#include <cstring>

#include "install_state/product_id_rules.hpp"
#include "support/codepage.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string stored = Utf16LeBytesToUtf8(std::vector<std::uint8_t>(data, data + size));
  if (FirstInvalidUtf8(stored) != std::string::npos ||
      CharCount(UnscrambleText(kProductIdKeyPhrase, stored)) > CharCount(stored))
    std::abort();
  if (FirstInvalidUtf8(text) == std::string::npos && Utf16LeBytesToUtf8(Utf8ToUtf16LeBytes(text)) != text) std::abort();
  if (Utf8ToAnsiExact(text) && ScrambleText(kProductIdKeyPhrase, ScrambleText(kProductIdKeyPhrase, text)) != text)
    std::abort();
  if (size >= sizeof(Guid)) {
    Guid guid;
    std::memcpy(&guid, data, sizeof guid);
    const std::string id = FormatProductID(guid);
    std::vector<std::uint8_t> bytes = Utf8ToUtf16LeBytes(ScrambleText(kProductIdKeyPhrase, id));
    bytes.back() = 0;
    if (!IsValidProductID(id) || UnscrambleText(kProductIdKeyPhrase, Utf16LeBytesToUtf8(bytes)) != id) std::abort();
  }
  return 0;
}
