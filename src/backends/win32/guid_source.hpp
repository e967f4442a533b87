#pragma once
#include <cstdint>
#include <string>

#include "platform/guid_source.hpp"

// OLE32's CoCreateGuid.
class Win32GuidSource : public IGuidSource {
 public:
  bool CreateGuid(Guid* guid) override;
};
