#include "wizard/frm_main.hpp"

#include <new>

frmMain::frmMain(const Platform& platform, std::string updateHost)
    : UpdateHost(std::move(updateHost)),
      UpdateInfoUrl("http://" + UpdateHost + "/browser/updchk.ndf"),
      platform_(platform) {}

RuntimeError AsRuntimeError(const std::exception& e) {
  if (const auto* r = dynamic_cast<const RuntimeError*>(&e)) return *r;
  if (dynamic_cast<const std::bad_alloc*>(&e)) return RuntimeError(7, "Out of memory");
  return RuntimeError(51, std::string("Internal error: ") + e.what());
}
