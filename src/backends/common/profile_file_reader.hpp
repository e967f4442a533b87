#pragma once
// The profile-file reader on platforms without the system's own: reads the
// file through the file services and looks values up with ProfileDocument.
#include "platform/file_system.hpp"
#include "platform/profile_reader.hpp"

class ProfileFileReader : public IProfileReader {
 public:
  explicit ProfileFileReader(IFileSystem& files) : files_(files) {}

  // Copies the value (or def when the file, the section or the key is
  // missing, or the file cannot be read) cut to size - 1 characters, then a
  // NUL; returns the number of characters copied. Never raises.
  std::uint32_t GetPrivateProfileString(const std::string& section, const std::string& key, const std::string& def,
                                        char* buffer, std::uint32_t size, const std::string& fileName) override;

 private:
  IFileSystem& files_;
};
