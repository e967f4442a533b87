#pragma once
#include "platform/guid_source.hpp"

// Version-4 GUIDs from the kernel's random source.
class PosixGuidSource : public IGuidSource {
 public:
  bool CreateGuid(Guid* guid) override;
};
