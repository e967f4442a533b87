#include "catalog_text.hpp"

#include "catalog/update_component.hpp"

CatalogText CatalogText::Good() {
  CatalogText c;
  c.sections["setup"] = "size=@SIZE@\r\nenabled=1\r\nurl=http://updates.test:8731/dl/setup.msi\r\ncrc=cbf43926\r\n";
  c.sections["larkspire"] = "enabled=1\r\nversion=3.02.0012\r\nexename=larkspire.exe\r\n";
  c.sections["rillgauge"] = "enabled=1\r\nversion=1.00.0000\r\n";
  c.sections["quillon"] = "enabled=1\r\nversion=1.00.0002\r\nexename=Quillon.EXE\r\n";
  c.sections["palvetta"] = "enabled=0\r\nversion=9.00.0000\r\n";
  c.sections["qvmpanel"] = "enabled=1\r\n";
  c.sections["qvmclock"] = "enabled=1\r\nversion=0.50.0000\r\n";
  return c;
}

std::string CatalogText::Bytes() const {
  std::string body;
  for (const char* key : ComponentKeys) {
    const auto it = sections.find(key);
    if (it != sections.end()) body += "[" + it->first + "]\r\n" + it->second;
  }
  body += extra;
  const std::size_t at = body.find("@SIZE@");
  if (at == std::string::npos) return body;
  // The length counts the digits of the length itself.
  std::size_t size = body.size() - 6;
  for (int i = 0; i < 4; ++i) size = body.size() - 6 + std::to_string(size).size();
  body.replace(at, 6, std::to_string(size));
  return body;
}
