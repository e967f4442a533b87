#include "backends/win32/guid_source.hpp"

#include "backends/win32/prelude.hpp"

bool Win32GuidSource::CreateGuid(Guid* guid) {
  GUID g;
  if (FAILED(CoCreateGuid(&g))) return false;
  guid->Data1 = g.Data1;
  guid->Data2 = g.Data2;
  guid->Data3 = g.Data3;
  for (int i = 0; i < 8; ++i) guid->Data4[i] = g.Data4[i];
  return true;
}
