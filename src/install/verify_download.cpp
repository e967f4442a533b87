// The integrity check: thin glue between the component table, the file
// services and the CRC.
#include <optional>
#include <utility>
#include <vector>

#include "install/installer_handoff.hpp"
#include "install/integrity.hpp"
#include "install_state/path_helpers.hpp"
#include "support/diagnostics.hpp"
#include "support/runtime_error.hpp"

namespace {
// The hourglass while the copy runs, and the default pointer again however
// the copy ends.
class BusyPointer {
 public:
  explicit BusyPointer(IEventLoop& events) : events_(events) { events_.SetBusyPointer(true); }
  ~BusyPointer() {
    try {
      events_.SetBusyPointer(false);
    } catch (...) {
    }
  }
  BusyPointer(const BusyPointer&) = delete;
  BusyPointer& operator=(const BusyPointer&) = delete;

 private:
  IEventLoop& events_;
};
}  // namespace

std::shared_ptr<IStoredBytes> InstallerHandoff::WatchArrival() {
  arrival_.reset();
  try {
    arrival_ = std::make_shared<ArrivalDigests>(*platform_.verifier);
  } catch (const std::exception& e) {
    LogFailure(LogArea::Install, "the package's digests cannot be made as it arrives, it will be read once more: " +
                                     AsRuntimeError(e).Description());
  }
  return arrival_;
}

std::optional<PackageDigests> InstallerHandoff::DigestsOf(const std::string& sFile) {
  IFileSystem& files = *platform_.files;
  if (const std::shared_ptr<ArrivalDigests> arrival = std::exchange(arrival_, nullptr)) {
    const std::optional<PackageDigests> made = arrival->Result();
    const std::int64_t length = files.OpenRead(sFile)->Length();
    if (made && made->length == length) return made;
    if (made)
      LogInfo(LogArea::Install, "the digests made as " + files.NativePath(sFile) + " arrived cover " +
                                    std::to_string(made->length) + " bytes, the file has " + std::to_string(length) +
                                    ": it is read again");
  }
  return FileDigests(files, *platform_.verifier, sFile);
}

bool InstallerHandoff::VerifyDownload(const std::string& sFile, std::int32_t entryIndex) {
  IFileSystem& files = *platform_.files;
  CopyFailure.clear();
  verifiedIdentity_.clear();
  handedIndex_ = entryIndex;
  const std::size_t index = static_cast<std::size_t>(entryIndex);
  UpdateComponent entry;
  std::optional<PackageDigests> digests;
  std::string identity;
  try {
    entry = table_.at(index);
    // The name comes from the catalog: one that would lead out of the
    // product folder fails before anything is read or written.
    if (!IsPlainFileName(entry.sFileName)) {
      LogFailure(LogArea::Install, "the catalog's file name \"" + entry.sFileName + "\" is not a plain file name");
      return false;
    }
    if (!FileExists(files, sFile)) {
      LogFailure(LogArea::Install, "the downloaded file " + files.NativePath(sFile) + " is missing or empty");
      return false;
    }
    // What the file is now, before its digests are taken as its own: the
    // copy below is trusted to hold the same bytes only while it stays so.
    identity = files.FileIdentity(sFile);
    digests = DigestsOf(sFile);
    const std::string mismatch = PackageMismatch(digests, entry);
    if (!mismatch.empty()) {
      LogFailure(LogArea::Install, "the downloaded file " + files.NativePath(sFile) + " " + mismatch);
      return false;
    }
    table_.at(index).bVerified = true;
    verified_ = *digests;
    // Each check that passed, by name: the digests are in the catalog's words.
    std::string passed = "CRC-32 " + entry.sCrc;
    if (!entry.sSha256.empty()) passed += ", SHA-256 " + entry.sSha256;
    if (entry.lSize > 0) passed += ", length " + std::to_string(entry.lSize) + " bytes";
    LogInfo(LogArea::Install, "the downloaded file " + files.NativePath(sFile) + " is as announced: " + passed);
  } catch (const std::exception& e) {
    LogFailure(LogArea::Install, "cannot check " + files.NativePath(sFile) + ": " + AsRuntimeError(e).Description());
    return false;
  }

  // The package is good: from here on a failure is the product folder's,
  // and the user is told what happened and where rather than that the
  // download was corrupt.
  // A package already there from an earlier run, byte for byte, serves
  // again: the product folder does not fill up with copies of one package.
  std::string destination = IdenticalCopy(Installed.AppPath, entry.sFileName, *digests);
  if (!destination.empty()) {
    LogInfo(LogArea::Install, "the verified package is already in the product folder as " +
                                  files.NativePath(destination) + ": it is used again");
  } else {
    try {
      destination = FreeCopyName(Installed.AppPath, entry.sFileName);
      BusyPointer busy(*platform_.events);
      platform_.events->DoEvents();
      CopyInto(sFile, identity, *digests, destination);
      platform_.events->DoEvents();
    } catch (const std::exception& e) {
      return FailCopy(AsRuntimeError(e).Description());
    }
    LogInfo(LogArea::Install, "copied the verified package to " + files.NativePath(destination));
  }
  RecordCopy(destination);
  try {
    // The events that ran may have reset the table: look the entry up again.
    table_.at(index).sTargetFile = destination;
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

std::string InstallerHandoff::FreeCopyName(const std::string& folder, const std::string& name) {
  std::string destination = folder + name;
  if (FileExists(*platform_.files, destination)) destination = UniqueFileName(*platform_.files, destination);
  if (!IsFileDirectlyIn(folder, destination)) throw RuntimeError(ErrNo::PathFileAccess, "no free file name");
  return destination;
}

void InstallerHandoff::CopyInto(const std::string& source, const std::string& sourceIdentity,
                                const PackageDigests& expected, const std::string& destination) {
  IFileSystem& files = *platform_.files;
  // The copy is made under a name of its own, created exclusively, and gets
  // the package's name only once complete: a copy cut short by a crash or a
  // full disk never passes for the package. One run works at a time, so a
  // file under that name is an earlier run's unfinished copy.
  const std::size_t slash = destination.find_last_of('\\') + 1;
  const std::string unfinished = destination.substr(0, slash) + kPartialCopyPrefix + destination.substr(slash) + ".tmp";
  if (FileExists(files, unfinished)) files.Kill(unfinished);
  files.FileCopyNew(source, unfinished);  // which removes what it made when it fails
  try {
    // The kernel copied whatever the source held by then; that is what was
    // checked only when the source has not changed since it was.
    if (sourceIdentity.empty() || files.FileIdentity(source) != sourceIdentity) {
      const std::optional<PackageDigests> copied = FileDigests(files, *platform_.verifier, unfinished);
      if (!copied || copied->crc != expected.crc || copied->sha256 != expected.sha256 ||
          copied->length != expected.length)
        throw RuntimeError(ErrNo::PathFileAccess, files.NativePath(source) + " changed while it was copied");
    }
    // The download was made read-only and hidden; the copy is a plain file.
    files.SetAttr(unfinished, Attr::Archive);
    files.RenameNew(unfinished, destination);
    verifiedIdentity_ = files.FileIdentity(destination);
  } catch (const std::exception&) {
    try {
      files.Kill(unfinished);
    } catch (const std::exception&) {
      LogFailure(LogArea::Install, "cannot remove the unfinished copy " + files.NativePath(unfinished));
    }
    throw;
  }
}

namespace {
// The lines of a list of copies as (name, fingerprint).
std::vector<std::pair<std::string, std::string>> CopyLines(const std::string& list) {
  std::vector<std::pair<std::string, std::string>> lines;
  for (std::size_t from = 0; from < list.size();) {
    std::size_t end = list.find('\n', from);
    if (end == std::string::npos) end = list.size();
    const std::string line = list.substr(from, end - from);
    if (const std::size_t bar = line.rfind('|'); bar != std::string::npos && bar > 0)
      lines.emplace_back(line.substr(0, bar), line.substr(bar + 1));
    from = end + 1;
  }
  return lines;
}

std::string CopyList(const std::vector<std::pair<std::string, std::string>>& lines) {
  std::string list;
  for (const auto& [name, fingerprint] : lines) list += (list.empty() ? "" : "\n") + name + "|" + fingerprint;
  return list;
}
}  // namespace

std::string InstallerHandoff::InstalledFingerprint() const {
  std::string fingerprint = Installed.AppVersion;
  for (const std::string& version : Installed.InstalledVersions) fingerprint += "," + version;
  return fingerprint;
}

std::string InstallerHandoff::IdenticalCopy(const std::string& folder, const std::string& name,
                                            const PackageDigests& digests) {
  IFileSystem& files = *platform_.files;
  const std::string base = SplitExtension(name, false), extension = SplitExtension(name, true);
  // The name itself, then the numbered names, as far as they go on.
  for (int n = -1; n < 32000; ++n) {
    const std::string candidate =
        folder + (n < 0 ? name : base + std::to_string(n) + (extension.empty() ? "" : "." + extension));
    try {
      if (!FileExists(files, candidate)) return "";
      if (files.OpenRead(candidate)->Length() != digests.length) continue;
      const std::string identity = files.FileIdentity(candidate);
      const auto found = FileDigests(files, *platform_.verifier, candidate);
      if (found && found->sha256 == digests.sha256 && found->crc == digests.crc) {
        verifiedIdentity_ = identity;
        return candidate;
      }
    } catch (const std::exception&) {
    }
  }
  return "";
}

void InstallerHandoff::RecordCopy(const std::string& destination) {
  const std::string name = destination.substr(Installed.AppPath.size());
  std::vector<std::pair<std::string, std::string>> kept;
  for (const auto& line : CopyLines(PackageCopies)) {
    if (line.first == name) continue;
    // A newer package replaces what an earlier run left for the installer.
    try {
      if (IsPlainFileName(line.first) && FileExists(*platform_.files, Installed.AppPath + line.first)) {
        platform_.files->Kill(Installed.AppPath + line.first);
        LogInfo(LogArea::Install, "removed " + platform_.files->NativePath(Installed.AppPath + line.first) +
                                      ", which the new package replaces");
      }
    } catch (const std::exception& e) {
      LogFailure(LogArea::Install, "cannot remove the earlier package " + Installed.AppPath + line.first + ": " +
                                       AsRuntimeError(e).Description());
      kept.push_back(line);
    }
  }
  kept.emplace_back(name, InstalledFingerprint());
  PackageCopies = CopyList(kept);
}

void InstallerHandoff::RemoveUsedCopies() {
  const std::string now = InstalledFingerprint();
  std::vector<std::pair<std::string, std::string>> waiting;
  for (const auto& line : CopyLines(PackageCopies)) {
    const std::string path = Installed.AppPath + line.first;
    try {
      if (line.second == now) {
        waiting.push_back(line);  // not installed yet: the user may still install from it
      } else if (IsPlainFileName(line.first) && FileExists(*platform_.files, path)) {
        platform_.files->Kill(path);
        LogInfo(LogArea::Install, "removed " + platform_.files->NativePath(path) + ": what is installed has changed");
      }
    } catch (const std::exception& e) {
      LogFailure(LogArea::Install, "cannot remove " + path + " yet: " + AsRuntimeError(e).Description());
      waiting.push_back(line);
    }
  }
  PackageCopies = CopyList(waiting);
}

bool InstallerHandoff::FailCopy(const std::string& reason) {
  std::string folder;
  try {
    folder = platform_.files->NativePath(Installed.AppPath);
  } catch (...) {
    folder = Installed.AppPath;
  }
  while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  CopyFailure = "The update could not be copied to " + folder + ": " + reason;
  LogFailure(LogArea::Install, CopyFailure);
  return false;
}
