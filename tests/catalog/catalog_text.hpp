#pragma once
// Update-information files for the catalog tests: a good file changed by
// "section.key=value" edits ("-section" leaves a section out), padded to
// the length its "size" names.
#include <map>
#include <sstream>
#include <string>

#include "catalog/update_component.hpp"

inline constexpr std::size_t kCatalogLength = 1000;

// The good file offers the setup package, a newer quillon and two components not installed.
inline std::string CatalogBytes(const std::string& edits = "") {
  std::istringstream in(
      "setup.size=1000 setup.enabled=1 setup.url=http://updates.test:8731/dl/setup.msi setup.crc=cbf43926 "
      "larkspire.enabled=1 larkspire.version=3.02.0012 rillgauge.enabled=1 rillgauge.version=1.00.0000 "
      "quillon.enabled=1 quillon.version=1.00.0002 quillon.exename=Quillon.EXE palvetta.enabled=0 "
      "palvetta.version=9.00.0000 qvmpanel.enabled=1 qvmclock.enabled=1 qvmclock.version=0.50.0000 " +
      edits);
  std::map<std::string, std::string> values;  // "section.key" to value
  for (std::string e; in >> e;) {
    if (e[0] == '-') std::erase_if(values, [&](const auto& v) { return v.first.starts_with(e.substr(1) + "."); });
    if (e[0] != '-') values[e.substr(0, e.find('='))] = e.substr(e.find('=') + 1);
  }
  std::string bytes;
  for (const std::string section : ComponentKeys) {
    std::string body;
    for (const auto& [name, value] : values)
      if (name.starts_with(section + ".")) body += name.substr(section.size() + 1) + "=" + value + "\r\n";
    if (!body.empty()) bytes += "[" + section + "]\r\n" + body;
  }
  bytes.resize(kCatalogLength, ' ');
  return bytes;
}
