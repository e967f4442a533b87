#include "publisher.hpp"

#include <filesystem>
#include <ostream>
#include <vector>

#include "catalog_check.hpp"
#include "catalog_writer.hpp"
#include "install/crc32.hpp"
#include "install/integrity.hpp"
#include "local_files.hpp"
#include "publish_error.hpp"
#include "staged_file.hpp"
#include "support/runtime_error.hpp"

namespace fs = std::filesystem;

namespace {
// The package's CRC-32 before anything is written: an unreadable or empty
// package is bad input.
std::uint32_t PackageCrc(IFileSystem& files, const std::string& package) {
  try {
    const auto crc = FileCrc32(files, package);
    if (!crc) BadInput("the package is empty: " + package);
    return *crc;
  } catch (const RuntimeError& e) {
    BadInput("cannot read the package " + package + " (" + e.Description() + ")");
  }
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
  const std::uint32_t crc = PackageCrc(files, o.package);
  const std::string catalog = BuildCatalog(o, crc);

  const fs::path packagePath = MakeFolder(fs::path(o.outDir) / o.urlPath) / o.packageName;
  const fs::path catalogPath = MakeFolder(fs::path(o.outDir) / "browser") / "updchk.ndf";
  CheckReplaceable(packagePath);
  CheckReplaceable(catalogPath);

  StagedFile stagedPackage(packagePath);
  if (CopyPackage(files, o.package, stagedPackage) != crc)
    WriteFailed("the package changed while it was published: " + o.package);
  stagedPackage.Finish();
  const auto copied = FileCrc32(files, stagedPackage.TempPath().string());
  if (!copied || *copied != crc) WriteFailed("the package's copy does not read back as written");

  StagedFile stagedCatalog(catalogPath);
  stagedCatalog.Write(catalog);
  stagedCatalog.Finish();
  CheckPublishedCatalog(files, stagedCatalog.TempPath().string(), o, crc);

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
      out << "larkspire-publish " << LARKSPIRE_VERSION << "\n";
      return 0;
    }
    Publish(options);
    return 0;
  } catch (const PublishError& e) {
    err << "larkspire-publish: " << e.what() << "\n";
    return e.ExitStatus();
  } catch (const std::exception& e) {
    err << "larkspire-publish: " << e.what() << "\n";
    return PublishError::WriteFailed;
  }
}
