#include "backends/common/profile_file_reader.hpp"

#include <algorithm>
#include <cstring>

#include "install_state/path_helpers.hpp"

namespace {
// The file's bytes, or "" when it cannot be read or is too large to be a
// profile file. A huge file costs no more than the limit.
std::string ReadProfileBytes(IFileSystem& files, const std::string& fileName) {
  try {
    std::string bytes = ReadFileUpTo(files, fileName, kMaxProfileBytes + 1);
    return bytes.size() > kMaxProfileBytes ? "" : bytes;
  } catch (const std::exception&) {
    return "";
  }
}
}  // namespace

std::uint32_t ProfileFileReader::GetPrivateProfileString(const std::string& section, const std::string& key,
                                                         const std::string& def, char* buffer, std::uint32_t size,
                                                         const std::string& fileName) {
  if (!buffer || size == 0) return 0;
  std::string value = def;
  try {
    std::string bytes = ReadProfileBytes(files_, fileName);
    if (!parsed_ || fileName != parsedFile_ || bytes != parsedBytes_) {
      parsed_.reset();
      parsed_ = ProfileDocument::Parse(bytes);
      parsedFile_ = fileName, parsedBytes_ = std::move(bytes);
    }
    if (auto found = parsed_->Value(section, key)) value = std::move(*found);
  } catch (const std::exception&) {
    value = def;  // out of memory while parsing: the file reads as missing
  }
  const std::size_t n = std::min<std::size_t>(value.size(), size - 1);
  std::memcpy(buffer, value.data(), n);
  buffer[n] = '\0';
  return static_cast<std::uint32_t>(n);
}
