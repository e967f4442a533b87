// Any arguments (NUL-separated) to larkspire-publish: bad ones raise the
// tool's BadInput and nothing else; what is taken for a publication gives
// a package address the wizard keeps as it stands, whose file name is the
// package's and one the wizard stores, and components the wizard reads:
// distinct rows in order, valid versions, names in Windows-1252.
#include "fuzz_input.hpp"
#include "publish_error.hpp"
#include "publish_options.hpp"

void Fuzz(const std::uint8_t*, std::size_t, std::string_view text) {
  std::vector<std::string> args(1);
  for (const char c : text) c ? args.back() += c : args.emplace_back();
  PublishOptions o;
  try {
    o = ParsePublishOptions(args);
  } catch (const PublishError& e) {
    return Check(e.ExitStatus() == PublishError::BadInput && *e.what());
  }
  if (o.help || o.version || !o.generateKey.empty() || !o.printPublicKey.empty()) return;
  std::string url = o.PackageUrl();
  Check(CheckUrl(url) && url == o.PackageUrl() && url.size() <= 254 && FileNameFromUrl(url) == o.packageName &&
        IsSafePackageName(o.packageName) && !o.outDir.empty());
  int row = 0;  // the row before
  for (const ComponentOffer& c : o.components)
    Check(std::exchange(row, c.row) < c.row && c.row <= 6 && GetValidVersion(c.version) == c.version &&
          Utf8ToAnsiExact(c.exename));
}
