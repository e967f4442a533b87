// Any bytes as the stored identifier or as a text: unscrambling never
// raises and gives no more characters than it was given, scrambling twice
// gives back any text the code page can hold, valid UTF-8 survives UTF-16
// both ways, and an identifier made from any GUID is valid and comes back
// from its stored form (71 bytes written, a 0 added when read).
#include "fuzz_input.hpp"
#include "install_state/product_id_rules.hpp"

void Fuzz(const std::uint8_t* data, std::size_t size, std::string_view view) {
  const std::string text(view), stored = Utf16LeBytesToUtf8(std::vector<std::uint8_t>(data, data + size));
  Check(FirstInvalidUtf8(stored) == std::string::npos &&
        CharCount(UnscrambleText(kProductIdKeyPhrase, stored)) <= CharCount(stored) &&
        (FirstInvalidUtf8(text) != std::string::npos || Utf16LeBytesToUtf8(Utf8ToUtf16LeBytes(text)) == text) &&
        (!Utf8ToAnsiExact(text) || ScrambleText(kProductIdKeyPhrase, ScrambleText(kProductIdKeyPhrase, text)) == text));
  if (size < sizeof(Guid)) return;
  Guid guid;
  std::copy_n(data, sizeof guid, reinterpret_cast<std::uint8_t*>(&guid));
  const std::string id = FormatProductID(guid);
  std::vector<std::uint8_t> bytes = Utf8ToUtf16LeBytes(ScrambleText(kProductIdKeyPhrase, id));
  bytes.back() = 0;
  Check(IsValidProductID(id) && UnscrambleText(kProductIdKeyPhrase, Utf16LeBytesToUtf8(bytes)) == id);
}
