#include "publisher.hpp"

#include <ctime>
#include <filesystem>
#include <optional>
#include <ostream>
#include <vector>

#include "backends/openssl/signature_verifier.hpp"
#include "catalog/built_in_keys.hpp"
#include "catalog/catalog_reading.hpp"
#include "catalog/profile_parser.hpp"
#include "catalog_check.hpp"
#include "catalog_writer.hpp"
#include "install/crc32.hpp"
#include "install/integrity.hpp"
#include "local_files.hpp"
#include "publish_error.hpp"
#include "signing_key.hpp"
#include "staged_file.hpp"
#include "support/runtime_error.hpp"

namespace fs = std::filesystem;

namespace {
// The package's digests before anything is written: an unreadable or empty
// package is bad input.
PackageDigests PackageDigestsOf(IFileSystem& files, ISignatureVerifier& verifier, const std::string& package) {
  try {
    const auto digests = FileDigests(files, verifier, package);
    if (!digests) BadInput("the package is empty: " + package);
    return *digests;
  } catch (const RuntimeError& e) {
    BadInput("cannot read the package " + package + " (" + e.Description() + ")");
  }
}

std::string UtcText(std::time_t at, const char* format) {
  std::tm tm{};
  gmtime_r(&at, &tm);
  char text[32];
  std::strftime(text, sizeof text, format, &tm);
  return text;
}

// The serial of the catalog already published at path; nothing when there
// is none or it carries no serial.
std::optional<std::uint64_t> PublishedSerial(IFileSystem& files, const fs::path& path) {
  if (!fs::is_regular_file(path)) return std::nullopt;
  std::string bytes;
  try {
    bytes = ReadLocalFile(files, path.string());
  } catch (const RuntimeError& e) {
    BadInput("cannot read the catalog already in place, " + path.string() + " (" + e.Description() + ")");
  }
  const auto serial = ProfileDocument::Parse(bytes).Value("setup", "serial");
  if (!serial) return std::nullopt;
  if (serial->empty() || serial->size() > 18 || serial->find_first_not_of("0123456789") != std::string::npos)
    BadInput("the catalog already in place (" + path.string() + ") has the serial \"" + *serial +
             "\", which is not a number; remove it to publish anew");
  return std::stoull(*serial);
}

SignedFields FieldsToSign(IFileSystem& files, const PublishOptions& o, const PackageDigests& digests,
                          const fs::path& catalogPath) {
  const std::time_t now = std::time(nullptr);
  // The serial is the publish time; the catalog lives from it.
  SignedFields f{FormatSha256(digests.sha256), digests.length,
                 o.serial ? *o.serial : std::stoull(UtcText(now, "%Y%m%d%H%M%S")), ""};
  if (const auto before = PublishedSerial(files, catalogPath); before && f.serial <= *before)
    BadInput("the serial " + std::to_string(f.serial) + " does not rise over " + std::to_string(*before) +
             " of the catalog already in place; wait a second, or give --serial above it");
  const std::int64_t published = *SerialTime(std::to_string(f.serial));
  if (published > now + kSerialLeadSeconds)
    BadInput("the serial " + std::to_string(f.serial) +
             " is more than a day ahead of this computer's clock: " + "every wizard would refuse the catalog");
  const int days = o.expiresDays.value_or(PublishOptions::kDefaultLifetimeDays);
  const std::time_t expires = published + std::time_t{86400} * days;
  if (expires <= now)
    BadInput("a catalog with the serial " + std::to_string(f.serial) + " that lives " + std::to_string(days) +
             " days has expired already; give a later --serial");
  f.expires = UtcText(expires, "%Y-%m-%dT%H:%M:%SZ");
  return f;
}

// Copies the package into the staged file and returns the CRC of what was
// copied, so that a package that changes meanwhile is noticed.
std::uint32_t CopyPackage(IFileSystem& files, const std::string& package, StagedFile& staged) {
  try {
    const auto reader = files.OpenRead(package);
    CrcCalculator calc;
    std::int32_t reg = calc.InitCrcTable(kCrc32Polynomial, -1);
    std::vector<std::uint8_t> piece(kCrcReadPiece);
    while (const std::size_t n = reader->Read(piece.data(), piece.size())) {
      reg = calc.UpdateCrc(std::span(piece.data(), n), reg);
      staged.Write(piece.data(), n);
    }
    return static_cast<std::uint32_t>(FinishCrc(reg));
  } catch (const RuntimeError& e) {
    WriteFailed("cannot read the package " + package + " (" + e.Description() + ")");
  }
}

fs::path MakeFolder(const fs::path& folder) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec || !fs::is_directory(folder)) WriteFailed("cannot create the folder " + folder.string());
  return folder;
}

void CheckReplaceable(const fs::path& path) {
  if (fs::exists(path) && !fs::is_regular_file(path))
    WriteFailed(path.string() + " exists and is not a file; nothing was published");
}
}  // namespace

void Publish(const PublishOptions& o) {
  LocalReadFiles files;
  OpenSslSignatureVerifier verifier;
  // A key that cannot be used is bad input, found before anything is written.
  std::optional<SigningKey> key;
  if (!o.signKey.empty()) key.emplace(o.signKey);
  const PackageDigests digests = PackageDigestsOf(files, verifier, o.package);
  const std::uint32_t crc = digests.crc;
  const fs::path catalogFolder = fs::path(o.outDir) / "browser";
  std::optional<SignedFields> fields;
  if (key) fields = FieldsToSign(files, o, digests, catalogFolder / "updchk.ndf");
  const std::string catalog =
      key ? BuildSignedCatalog(o, crc, *fields, [&](std::string_view bytes) { return key->Sign(bytes); })
          : BuildCatalog(o, crc);

  const fs::path packagePath = MakeFolder(fs::path(o.outDir) / o.urlPath) / o.packageName;
  const fs::path catalogPath = MakeFolder(catalogFolder) / "updchk.ndf";
  CheckReplaceable(packagePath);
  CheckReplaceable(catalogPath);

  StagedFile stagedPackage(packagePath);
  if (CopyPackage(files, o.package, stagedPackage) != crc)
    WriteFailed("the package changed while it was published: " + o.package);
  stagedPackage.Finish();
  const auto copied = FileDigests(files, verifier, stagedPackage.TempPath().string());
  if (!copied || copied->crc != crc || copied->sha256 != digests.sha256)
    WriteFailed("the package's copy does not read back as written");

  StagedFile stagedCatalog(catalogPath);
  stagedCatalog.Write(catalog);
  stagedCatalog.Finish();
  CheckPublishedCatalog(files, stagedCatalog.TempPath().string(), o, crc);
  if (key) CheckSignedCatalog(files, stagedCatalog.TempPath().string(), *fields, key->PublicKeyBase64(), verifier);

  // The package first: a client never reads a catalog whose package is not
  // there yet.
  stagedPackage.Commit();
  stagedCatalog.Commit();
}

int RunPublish(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  try {
    const PublishOptions options = ParsePublishOptions(args);
    if (options.help) {
      out << PublishUsage();
      return 0;
    }
    if (options.version) {
      // What the wizards of this build trust, so a maker can check the key
      // before shipping them.
      out << "larkspire-publish " << LARKSPIRE_VERSION << "\n"
          << TrustPolicyText(UpdateInfoUrlOf(LARKSPIRE_UPDATE_HOST));
      return 0;
    }
    if (!options.generateKey.empty() || !options.printPublicKey.empty()) {
      const std::string publicKey = options.generateKey.empty() ? SigningKey(options.printPublicKey).PublicKeyBase64()
                                                                : GenerateSigningKey(options.generateKey);
      out << "LARKSPIRE_UPDATE_PUBLIC_KEYS=" << publicKey << "\n";
      return 0;
    }
    Publish(options);
    // Allowed (it withdraws every component), but rarely meant.
    if (options.components.empty() && !options.disableSetup)
      err << "larkspire-publish: warning: no --component given: every component is written switched off, so "
             "wizards will find nothing newer to offer\n";
    return 0;
  } catch (const PublishError& e) {
    err << "larkspire-publish: " << e.what() << "\n";
    return e.ExitStatus();
  } catch (const std::exception& e) {
    err << "larkspire-publish: " << e.what() << "\n";
    return PublishError::WriteFailed;
  }
}
