#include "catalog_check.hpp"

#include "backends/common/profile_file_reader.hpp"
#include "catalog/catalog_reading.hpp"
#include "catalog/catalog_rules.hpp"
#include "catalog/catalog_signature.hpp"
#include "catalog/profile_parser.hpp"
#include "install/integrity.hpp"
#include "local_files.hpp"
#include "publish_error.hpp"
#include "support/codepage.hpp"
#include "support/text_case.hpp"

namespace {
// The wizard's value buffer.
constexpr std::uint32_t kValueBuffer = 255;

const char* ResultName(CatalogResult r) {
  switch (r) {
    case crError:
      return "an update error";
    case crUpdatesAvailable:
      return "updates available";
    case crUpToDate:
      return "up to date";
    case crNotAvailable:
      return "update not available";
  }
  return "?";
}

CatalogResult Expected(const PublishOptions& o) {
  if (o.disableSetup) return crNotAvailable;
  for (const ComponentOffer& c : o.components)
    if (c.enabled) return crUpdatesAvailable;
  return crUpToDate;
}

void Differs(const std::string& what, const std::string& read, const std::string& meant) {
  WriteFailed("the written catalog reads back wrong: " + what + " is \"" + read + "\", not \"" + meant + "\"");
}
}  // namespace

void CheckPublishedCatalog(IFileSystem& files, const std::string& path, const PublishOptions& o,
                           std::uint32_t packageCrc) {
  ProfileFileReader reader(files);
  std::int64_t length = -1;
  try {
    length = files.OpenRead(path)->Length();
  } catch (const std::exception&) {
    WriteFailed("the written catalog cannot be read back: " + path);
  }
  const CatalogReading reading = EvaluateCatalog(
      [&](const std::string& section, const std::string& key) {
        char buffer[kValueBuffer] = {};
        const std::uint32_t n =
            reader.GetPrivateProfileString(Utf8ToAnsi(section), Utf8ToAnsi(key), "", buffer, kValueBuffer, path);
        return AnsiToUtf8(std::string_view(buffer, n));
      },
      length, [](int, std::string& version) { return IsNewerVersion("0", version); });

  const CatalogResult expected = Expected(o);
  if (reading.result != expected) Differs("the wizard's result", ResultName(reading.result), ResultName(expected));
  if (expected == crNotAvailable) return;
  if (reading.setupUrl != o.PackageUrl()) Differs("the package's url", reading.setupUrl, o.PackageUrl());
  if (reading.setupFileName != o.packageName) Differs("the package's name", reading.setupFileName, o.packageName);
  if (reading.setupCrc != FormatCrc(packageCrc)) Differs("the package's crc", reading.setupCrc, FormatCrc(packageCrc));

  std::size_t listed = 0;
  for (const ComponentOffer& c : o.components) {
    if (!c.enabled) continue;
    const std::string name = LCase(c.exename.empty() ? ComponentKeys[c.row] : c.exename);
    if (listed >= reading.components.size()) Differs("the list of components", "shorter", "longer");
    const UpdateComponent& got = reading.components[listed++];
    if (got.sFileName != name) Differs("a listed component", got.sFileName, name);
    if (got.sVersion != c.version) Differs("the version of " + name, got.sVersion, c.version);
  }
  if (listed != reading.components.size()) Differs("the list of components", "longer", "shorter");
}

void CheckSignedCatalog(IFileSystem& files, const std::string& path, const SignedFields& f,
                        const std::string& publicKey, ISignatureVerifier& verifier) {
  std::string bytes;
  try {
    bytes = ReadLocalFile(files, path);
  } catch (const std::exception&) {
    WriteFailed("the written catalog cannot be read back: " + path);
  }
  const auto check = CheckCatalogSignature(bytes, {publicKey}, verifier);
  if (check.status != SignatureStatus::Verified) WriteFailed("the written catalog fails its own check: " + check.why);
  const ProfileDocument doc = ProfileDocument::Parse(bytes);
  const std::pair<const char*, std::string> meant[] = {{"sha256", f.sha256},
                                                       {"pkgsize", std::to_string(f.pkgsize)},
                                                       {"serial", std::to_string(f.serial)},
                                                       {"expires", f.expires}};
  for (const auto& [key, value] : meant) {
    const std::string read = doc.Value("setup", key).value_or("");
    if (read != value) Differs(std::string("the catalog's ") + key, read, value);
  }
}
