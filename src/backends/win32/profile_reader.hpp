#pragma once
#include <cstdint>
#include <string>

#include "platform/profile_reader.hpp"

// kernel32's GetPrivateProfileStringA.
class Win32ProfileReader : public IProfileReader {
 public:
  std::uint32_t GetPrivateProfileString(const std::string& section, const std::string& key, const std::string& def,
                                        char* buffer, std::uint32_t size, const std::string& fileName) override;
};
