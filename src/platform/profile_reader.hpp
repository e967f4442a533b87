#pragma once
// The profile-file reader, shaped like kernel32's GetPrivateProfileStringA.
#include <cstdint>
#include <string>

class IProfileReader {
 public:
  virtual ~IProfileReader() = default;
  // Copies the value of key in section of the profile file (or def when
  // there is none) into buffer, at most size - 1 characters and a NUL, and
  // returns the number of characters copied. Section, key and value are
  // single-byte (ANSI) text in the catalog's code page, Windows-1252; the
  // file's name is UTF-8.
  virtual std::uint32_t GetPrivateProfileString(const std::string& section, const std::string& key,
                                                const std::string& def, char* buffer, std::uint32_t size,
                                                const std::string& fileName) = 0;
};
