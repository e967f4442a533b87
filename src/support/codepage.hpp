#pragma once
// The system's single-byte ("ANSI") code page is Windows-1252. Texts inside
// the program are UTF-8; they cross to single bytes at the registry and
// catalog boundaries.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The Unicode code point of a Windows-1252 byte. The five bytes the code
// page leaves undefined map to the C1 control of the same number, as the
// system's own conversion does, so every byte survives a round trip.
char32_t Cp1252ToCodePoint(unsigned char byte) noexcept;

// The Windows-1252 byte of a code point, or nothing when it has none.
std::optional<unsigned char> CodePointToCp1252(char32_t cp) noexcept;

// Bytes in Windows-1252 to UTF-8. Never fails.
std::string AnsiToUtf8(std::string_view ansi);

// UTF-8 to Windows-1252. Characters without a byte (and broken UTF-8) become
// '?', as the system's conversion does.
std::string Utf8ToAnsi(std::string_view utf8);

// UTF-8 to Windows-1252, or nothing when a character has no byte or the
// UTF-8 is broken. For stores that must never alter data silently.
std::optional<std::string> Utf8ToAnsiExact(std::string_view utf8);

// The code point that starts at byte i of a UTF-8 text, moving i past it;
// nothing for a broken sequence (i then moves one byte on).
std::optional<char32_t> NextCodePoint(std::string_view utf8, std::size_t& i) noexcept;

// Where the first byte that is not part of valid UTF-8 lies, or npos.
std::size_t FirstInvalidUtf8(std::string_view s) noexcept;

// Decoding and encoding of UTF-8 code points. Broken sequences decode as
// U+FFFD, one per bad byte.
std::u32string Utf8ToCodePoints(std::string_view utf8);
std::string CodePointsToUtf8(std::u32string_view cps);
void AppendUtf8(std::string& out, char32_t cp);

// Number of characters (code points) in a UTF-8 text.
std::size_t CharCount(std::string_view utf8);

// UTF-16 little-endian bytes of a text, and the text of such bytes (a final
// odd byte is ignored; unpaired surrogates become U+FFFD).
std::vector<std::uint8_t> Utf8ToUtf16LeBytes(std::string_view utf8);
std::string Utf16LeBytesToUtf8(const std::vector<std::uint8_t>& bytes);
