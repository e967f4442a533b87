#pragma once
#include <string>

// The system's ANSI code page, through MultiByteToWideChar and back.
std::string SystemAnsiToUtf8(const std::string& ansi);
std::string Utf8ToSystemAnsi(const std::string& utf8);
