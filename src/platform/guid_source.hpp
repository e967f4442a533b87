#pragma once
// GUIDs, shaped like OLE32's CoCreateGuid.
#include <cstdint>

struct Guid {
  std::uint32_t Data1 = 0;
  std::uint16_t Data2 = 0;
  std::uint16_t Data3 = 0;
  std::uint8_t Data4[8] = {};
};

class IGuidSource {
 public:
  virtual ~IGuidSource() = default;
  // A new GUID (CoCreateGuid); false when none could be made.
  virtual bool CreateGuid(Guid* guid) = 0;
};
