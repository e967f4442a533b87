#pragma once
// Upper and lower case for the letters of the system's code page
// (Windows-1252): the one case table of the program, by which the catalog
// compares and stores its texts and the registry compares its names.
#include <string>
#include <string_view>

// The code point in the other case, for the letters that Windows-1252 can
// hold; any other code point is returned unchanged.
char32_t LowerCodePoint(char32_t c) noexcept;
char32_t UpperCodePoint(char32_t c) noexcept;

// A UTF-8 text wholly in lower or upper case. Never raises.
std::string LCase(std::string_view utf8);
std::string UCase(std::string_view utf8);

// A Windows-1252 byte in upper case, for comparisons without regard to case.
unsigned char UpperAnsiByte(unsigned char byte) noexcept;
