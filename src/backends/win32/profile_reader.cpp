#include "backends/win32/profile_reader.hpp"

#include "backends/win32/ansi_text.hpp"
#include "backends/win32/prelude.hpp"

std::uint32_t Win32ProfileReader::GetPrivateProfileString(const std::string& section, const std::string& key,
                                                          const std::string& def, char* buffer, std::uint32_t size,
                                                          const std::string& fileName) {
  return ::GetPrivateProfileStringA(section.c_str(), key.c_str(), def.c_str(), buffer, size,
                                    Utf8ToSystemAnsi(fileName).c_str());
}
