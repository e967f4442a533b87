#include "backends/linux/guid_source.hpp"

#include <sys/random.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

bool PosixGuidSource::CreateGuid(Guid* guid) {
  std::uint8_t b[16];
  std::size_t got = 0;
  while (got < sizeof b) {
    const ssize_t n = getrandom(b + got, sizeof b - got, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    got += static_cast<std::size_t>(n);
  }
  b[6] = static_cast<std::uint8_t>((b[6] & 0x0F) | 0x40);  // version 4
  b[8] = static_cast<std::uint8_t>((b[8] & 0x3F) | 0x80);  // RFC 4122 variant
  guid->Data1 = (std::uint32_t(b[0]) << 24) | (std::uint32_t(b[1]) << 16) | (std::uint32_t(b[2]) << 8) | b[3];
  guid->Data2 = static_cast<std::uint16_t>((b[4] << 8) | b[5]);
  guid->Data3 = static_cast<std::uint16_t>((b[6] << 8) | b[7]);
  std::memcpy(guid->Data4, b + 8, 8);
  return true;
}
