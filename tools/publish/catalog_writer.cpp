#include "catalog_writer.hpp"

#include "catalog/catalog_signature.hpp"
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

namespace {
// The catalog with its size still to fill in; extra: more lines of "setup".
std::string CatalogText(const PublishOptions& o, std::uint32_t packageCrc, const std::string& extra) {
  std::string text = "[setup]\r\n";
  text += Line("size", std::string(kPlaceholder));
  text += Line("enabled", o.disableSetup ? "0" : "1");
  text += Line("url", o.PackageUrl());
  text += Line("crc", FormatCrc(packageCrc));
  text += extra;
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
  return text;
}
}  // namespace

std::string BuildCatalog(const PublishOptions& o, std::uint32_t packageCrc) {
  return FillInOwnSize(CatalogText(o, packageCrc, ""));
}

std::string BuildSignedCatalog(const PublishOptions& o, std::uint32_t packageCrc, const SignedFields& f,
                               const SignFn& sign) {
  std::string extra =
      Line("sha256", f.sha256) + Line("pkgsize", std::to_string(f.pkgsize)) + Line("serial", std::to_string(f.serial));
  if (!f.expires.empty()) extra += Line("expires", f.expires);
  // The trailer's length is fixed: size is solved with a stand-in of that
  // length, which the signature over the finished bytes then replaces.
  // A blank line sets the trailer apart, as between the other sections.
  std::string text =
      FillInOwnSize(CatalogText(o, packageCrc, extra) + "\r\n" + std::string(kSignatureTrailerSize, '#'));
  text.resize(text.size() - kSignatureTrailerSize);
  return text + SignatureTrailer(sign(text));
}
