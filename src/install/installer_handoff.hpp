#pragma once
// The integrity check of a downloaded package and its hand-over to the
// installer: the window message that tells the product's running programs
// to close, the installer-presence test and the shell's "open".
#include <cstdint>
#include <memory>
#include <string>

#include "catalog/update_component.hpp"
#include "install/arrival_digests.hpp"
#include "install/integrity.hpp"
#include "install_state/installed_state.hpp"
#include "platform/platform.hpp"

class InstallerHandoff {
 public:
  // table: the component table, whose entries name the packages.
  InstallerHandoff(const Platform& platform, ComponentTableType& table) : platform_(platform), table_(table) {}

  // What is installed, as start-up read it: the product folder the package
  // is copied into, and the versions a copy's line records.
  InstalledState Installed;
  // At start-up, once what is installed is known: keeps it, and removes
  // what earlier runs left (RemoveLeftovers) and the copies no longer
  // needed (RemoveUsedCopies). Never raises.
  void Prepare(const InstalledState& installed, std::int64_t runStarted);

  // A watcher for the next package's fetch: its digests are made as its
  // bytes arrive, and the check of that download compares them instead of
  // reading the file again. Null (the check reads the file) when the system
  // gives no SHA-256. Never raises.
  std::shared_ptr<IStoredBytes> WatchArrival();
  // Checks the CRC-32 of sFile, the download of entry index of the table,
  // and copies it into the product folder; that entry is the one RunInstall
  // hands over. Never raises. When the check passed but the copy failed,
  // CopyFailure says why and where.
  bool VerifyDownload(const std::string& sFile, std::int32_t index);
  // The same for the package, entry 1.
  bool VerifyDownload(const std::string& sFile) { return VerifyDownload(sFile, 1); }
  // Registers the window message shared with the product's programs; raises
  // -2147220504 after ten attempts without an identifier.
  void RegisterMessages();
  // Whether the installer service is present. Never raises.
  bool CheckWindowsInstaller();
  // The warning shown instead of the Welcome text when it is not.
  static std::string InstallerMissingText();
  // Tells the product's running programs to close; false when not sent.
  bool NotifyRunningPrograms();
  // What the user is told when they could not be.
  static constexpr const char* ProgramsNotToldText = "The running Larkspire programs could not be told to close.";
  // Hands the verified package to the installer and closes the window. When
  // the running programs could not be told, says so and leaves the window
  // open on its page.
  bool RunInstall();

  // The names of unfinished copies in the product folder begin with this.
  static constexpr const char* kPartialCopyPrefix = "lkc";
  // Removes what runs that ended without cleaning up left: their downloads
  // in the temporary folder and their unfinished copies in the product
  // folder, each last written before runStarted (seconds since 1970). Call
  // it only while no other run of this user's can be at work. Never raises.
  void RemoveLeftovers(std::int64_t runStarted);

  // The verified packages this wizard left in the product folder (the
  // format of InstalledState::PackageCopies), which the installer may still
  // need: a copy stays until what is installed has changed since it was
  // made (its installer ran, or another did) or a newer package replaces
  // it. An identical package is used again instead of copied again.
  std::string PackageCopies;
  // Removes the copies whose installation has happened since they were
  // made, keeping in PackageCopies those still waiting (and those that
  // cannot be removed now). Never raises.
  void RemoveUsedCopies();

  // The registered window message.
  std::int32_t MsgGeneral = 0;
  // Why the last verified package could not be copied ("" when it was, or
  // when the check itself failed).
  std::string CopyFailure;
  // The exit status the run ends with (ExitStatus).
  int ExitCode = 0;

 private:
  // Records why the verified copy failed; always false.
  bool FailCopy(const std::string& reason);
  // Whether target is still what was verified: unchanged since (by its
  // identity), or read again and found to have the catalog's digests.
  bool StillVerified(const std::string& target);
  // The digests of sFile: those made as it arrived, when its length agrees,
  // else from one read of it. Raises RuntimeError when it cannot be read.
  std::optional<PackageDigests> DigestsOf(const std::string& sFile);
  // folder + name, or the first free name after it. Raises RuntimeError
  // when none is free.
  std::string FreeCopyName(const std::string& folder, const std::string& name);
  // The copy in folder under name (or one of its numbered names) that has
  // exactly the digests given, or "". Never raises.
  std::string IdenticalCopy(const std::string& folder, const std::string& name, const PackageDigests& digests);
  // Records destination as the one copy waiting for the installer; the
  // copies it replaces are removed. Never raises.
  void RecordCopy(const std::string& destination);
  // What is installed, as a copy's line records it.
  std::string InstalledFingerprint() const;
  // Copies source, which had the identity sourceIdentity when it was found
  // to have the digests expected, to destination (a free name) through an
  // unfinished name that only a complete copy of those bytes leaves: when
  // source may have changed since, the copy is read and compared first.
  // Records the copy's identity as the verified one. Raises RuntimeError,
  // having removed what it made.
  void CopyInto(const std::string& source, const std::string& sourceIdentity, const PackageDigests& expected,
                const std::string& destination);
  // The path to hand to the installer for the verified package target: the
  // package itself when nobody but this user can change it or a folder
  // above it, else a copy in the user's own folder; "" when neither is
  // safe (the log says why). Never raises.
  std::string SafeFromOthers(const std::string& target);

  // The entry VerifyDownload was given last (an empty one when the table no
  // longer has it).
  const UpdateComponent& Handed() const;

  Platform platform_;
  ComponentTableType& table_;
  std::int32_t handedIndex_ = 1;
  // The next package's digests, made as it arrives.
  std::shared_ptr<ArrivalDigests> arrival_;
  // The digests of the package handed over, and the identity of its
  // verified copy ("": unknown, read it again before it is handed over).
  PackageDigests verified_;
  std::string verifiedIdentity_;
};
