#pragma once
// The one case table of the program, Unicode's simple case folding (taken
// from the Unicode Character Database when the program is built), and what
// follows from it: upper and lower case for the letters of the system's
// code page (Windows-1252), by which the catalog compares and stores its
// texts, and the letter-by-letter folding by which the registry compares
// its names in any script.
#include <string>
#include <string_view>

// The code point in the other case, for the letters that Windows-1252 can
// hold in both cases; any other code point is returned unchanged.
char32_t LowerCodePoint(char32_t c) noexcept;
char32_t UpperCodePoint(char32_t c) noexcept;

// A UTF-8 text wholly in lower or upper case. Never raises.
std::string LCase(std::string_view utf8);
std::string UCase(std::string_view utf8);

// A Windows-1252 byte in upper case, for comparisons without regard to case.
unsigned char UpperAnsiByte(unsigned char byte) noexcept;

// Unicode's simple case folding of one code point (one code point for
// one, so "ß" stays itself and is not "ss"; no Turkic dotless i).
char32_t FoldCodePoint(char32_t c) noexcept;
// One code point for c's whole case class: two code points have the same
// key exactly when they fold alike. It is the class's first in code point
// order (the capital, in most scripts), so names in order sort as their
// capitals do.
char32_t CaseClassKey(char32_t c) noexcept;
