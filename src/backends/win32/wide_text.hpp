#pragma once
// The program's UTF-8 texts as the wide (UTF-16) Win32 calls take them, and back.
#include <string>

// UTF-8 to UTF-16; an invalid sequence becomes U+FFFD. Never raises.
std::wstring Widen(const std::string& utf8);
// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD. Never raises.
std::string Narrow(const std::wstring& utf16);
