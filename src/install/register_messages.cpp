#include "install/installer_handoff.hpp"
#include "support/runtime_error.hpp"

void InstallerHandoff::RegisterMessages() {
  std::uint32_t id = 0;
  int attempts = 0;
  do {
    id = platform_.messages->RegisterWindowMessage("lkSMsgGeneral");
    if (++attempts == 10) throw RuntimeError(-2147220504, "Couldn't register window messages.");
  } while (id == 0);
  MsgGeneral = static_cast<std::int32_t>(id);
}
