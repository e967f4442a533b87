#pragma once
// The profile-file reader on platforms without the system's own: reads the
// file through the file services and looks values up with ProfileDocument.
// A reading of the update information asks for a score of values: the file
// is parsed once, and parsed again only when its bytes change.
#include <optional>
#include <string>

#include "catalog/profile_parser.hpp"
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
  // The file last parsed: its name, its bytes and what they say.
  std::string parsedFile_, parsedBytes_;
  std::optional<ProfileDocument> parsed_;
};
