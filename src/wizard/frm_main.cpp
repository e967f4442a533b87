#include "wizard/frm_main.hpp"

#include <new>

frmMain::frmMain(const Platform& platform, std::string updateHost)
    : UpdateHost(std::move(updateHost)),
      UpdateInfoUrl("http://" + UpdateHost + "/browser/updchk.ndf"),
      platform_(platform) {
  htp = std::make_unique<uHttp>(platform_.reader, platform_.connection, platform_.events,
                                static_cast<IHttpEvents&>(*this));
}

frmMain::~frmMain() = default;

UpdateComponent* frmMain::Entry(std::int32_t index) {
  if (index < 0 || static_cast<std::size_t>(index) >= ComponentTable.size()) return nullptr;
  return &ComponentTable[static_cast<std::size_t>(index)];
}

RuntimeError AsRuntimeError(const std::exception& e) {
  if (const auto* r = dynamic_cast<const RuntimeError*>(&e)) return *r;
  if (dynamic_cast<const std::bad_alloc*>(&e)) return RuntimeError(7, "Out of memory");
  return RuntimeError(51, std::string("Internal error: ") + e.what());
}
