#pragma once
#include <cstdint>
#include <string>

#include "platform/connection.hpp"

// wininet's InternetGetConnectedStateExA.
class Win32ConnectionService : public IConnectionService {
 public:
  bool InternetGetConnectedStateEx(std::uint32_t* flags, char* name, std::uint32_t nameLength,
                                   std::uint32_t reserved) override;
};
