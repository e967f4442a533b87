#pragma once
// The program's UTF-8 text and the system's UTF-16, for the wide ("W")
// entry points, through MultiByteToWideChar and back.
#include <string>

// The UTF-16 of utf8 (an invalid sequence becomes U+FFFD). Never fails.
std::wstring Utf8ToWide(const std::string& utf8);
// The UTF-8 of wide (a lone surrogate becomes U+FFFD). Never fails.
std::string WideToUtf8(const std::wstring& wide);
