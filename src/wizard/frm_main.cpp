#include "wizard/frm_main.hpp"

frmMain::frmMain(const Platform& platform, std::string updateHost)
    : UpdateHost(std::move(updateHost)), platform_(platform) {}
