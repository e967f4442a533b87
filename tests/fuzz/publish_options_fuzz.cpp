// Any arguments (NUL-separated) to larkspire-publish: bad ones raise the
// tool's BadInput and nothing else; what is taken for a publication gives
// a package address the wizard keeps as it stands, whose file name is the
// package's and one the wizard stores, and components the wizard reads:
// distinct rows in order, valid versions, names in Windows-1252.
#include <cstdlib>

#include "catalog/catalog_rules.hpp"
#include "install_state/version_rules.hpp"
#include "publish_error.hpp"
#include "publish_options.hpp"
#include "support/codepage.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> args(1);
  for (std::size_t i = 0; i < size; ++i) data[i] ? args.back() += static_cast<char>(data[i]) : args.emplace_back();
  PublishOptions o;
  try {
    o = ParsePublishOptions(args);
  } catch (const PublishError& e) {
    if (e.ExitStatus() != PublishError::BadInput || std::string(e.what()).empty()) std::abort();
    return 0;
  }
  if (o.help || o.version || !o.generateKey.empty() || !o.printPublicKey.empty()) return 0;
  std::string url = o.PackageUrl();
  if (!CheckUrl(url) || url != o.PackageUrl() || url.size() > 254 || FileNameFromUrl(url) != o.packageName ||
      !IsSafePackageName(o.packageName) || o.outDir.empty())
    std::abort();
  int row = 0;
  for (const ComponentOffer& c : o.components) {
    std::string version = c.version;
    if (c.row <= row || c.row > 6 || GetValidVersion(version) != version || !Utf8ToAnsiExact(c.exename)) std::abort();
    row = c.row;
  }
  return 0;
}
