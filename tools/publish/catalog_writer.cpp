#include "catalog_writer.hpp"

#include "catalog/update_component.hpp"
#include "install/integrity.hpp"
#include "publish_error.hpp"
#include "support/codepage.hpp"

namespace {
constexpr std::string_view kPlaceholder = "@SIZE@";

std::string Line(const std::string& key, const std::string& value) { return key + "=" + value + "\r\n"; }

const ComponentOffer* Offered(const PublishOptions& o, int row) {
  for (const ComponentOffer& c : o.components)
    if (c.row == row) return &c;
  return nullptr;
}
}  // namespace

std::string FillInOwnSize(const std::string& text) {
  const std::size_t at = text.find(kPlaceholder);
  if (at == std::string::npos) return text;
  const std::size_t rest = text.size() - kPlaceholder.size();
  // The length depends on its own number of digits: try each width.
  for (std::size_t digits = 1; digits <= 20; ++digits) {
    const std::string size = std::to_string(rest + digits);
    if (size.size() == digits) {
      std::string out = text;
      out.replace(at, kPlaceholder.size(), size);
      return out;
    }
  }
  WriteFailed("the catalog's size has no solution");
}

std::string BuildCatalog(const PublishOptions& o, std::uint32_t packageCrc) {
  std::string text = "[setup]\r\n";
  text += Line("size", std::string(kPlaceholder));
  text += Line("enabled", o.disableSetup ? "0" : "1");
  text += Line("url", o.PackageUrl());
  text += Line("crc", FormatCrc(packageCrc));
  for (std::size_t row = 1; row < ComponentKeys.size(); ++row) {
    text += "\r\n[" + std::string(ComponentKeys[row]) + "]\r\n";
    const ComponentOffer* c = Offered(o, static_cast<int>(row));
    if (!c) {
      text += Line("enabled", "0");
      continue;
    }
    text += Line("enabled", c->enabled ? "1" : "0");
    text += Line("version", c->version);
    if (!c->exename.empty()) text += Line("exename", Utf8ToAnsi(c->exename));
  }
  return FillInOwnSize(text);
}
