// The installer-presence test, the notification of the product's running
// programs and the hand-off of the verified package.
#include "install/installer_handoff.hpp"

#include "install/integrity.hpp"
#include "install_state/path_helpers.hpp"
#include "platform/async_read_service.hpp"
#include "support/app_texts.hpp"
#include "support/diagnostics.hpp"
#include "support/runtime_error.hpp"

bool InstallerHandoff::CheckWindowsInstaller() {
  bool present = false;
  try {
    present = platform_.shell->InstallerPresent();
  } catch (...) {
  }
  // The user can only leave from here, and that is no success: a script
  // running the wizard must be able to tell it from a finished update.
  if (!present) {
    ExitCode = ExitStatus::InstallerMissing;
    LogFailure(LogArea::Install, "no installer service (desktop opener) is present: the wizard cannot go on");
  }
  return present;
}

std::string InstallerHandoff::InstallerMissingText() {
  return std::string("WARNING!") + CRLF + CRLF +
         "An error has occurred while attempting to initialize the Windows Install" + " program. As a result, " +
         AppTitle + " cannot continue." + CRLF + CRLF +
         "This program requires that the Microsoft Windows Installer be present" +
         " and properly installed. It also requires that the file MSI.DLL be in the" + " appropriate location." + CRLF +
         CRLF + "Please rectify this problem and rerun " + AppTitle + ".";
}

const UpdateComponent& InstallerHandoff::Handed() const {
  static const UpdateComponent kNone;
  return handedIndex_ >= 0 && static_cast<std::size_t>(handedIndex_) < table_.size()
             ? table_[static_cast<std::size_t>(handedIndex_)]
             : kNone;
}

void InstallerHandoff::Prepare(const InstalledState& installed, std::int64_t runStarted) {
  Installed = installed;
  RemoveLeftovers(runStarted);
  PackageCopies = installed.PackageCopies;
  RemoveUsedCopies();
}

bool InstallerHandoff::NotifyRunningPrograms() {
  const bool sent = platform_.messages->BroadcastNotifyMessage(static_cast<std::uint32_t>(MsgGeneral), 1000, 0);
  if (!sent) LogFailure(LogArea::Broadcast, "the running Larkspire programs could not be told to close");
  return sent;
}

bool InstallerHandoff::RunInstall() {
  const std::string target = Handed().sTargetFile;
  // Programs still running could hold the files the installer replaces, so
  // the package is not started. The user is told, as on the check page, and
  // stays on this page with Install to try again.
  if (!NotifyRunningPrograms()) {
    LogFailure(LogArea::Install, "the package " + platform_.files->NativePath(target) +
                                     " was not handed to the installer: the running programs were not told to close");
    platform_.messageBox->MsgBox(ProgramsNotToldText, Mb::Exclamation | Mb::OkOnly, ErrorTitle);
    return false;
  }
  std::string MessageText;
  // The copy was checked when it was made; what is started must still be
  // it, and nobody else may be able to swap it after the last look.
  const std::string handed = FileExists(*platform_.files, target) ? SafeFromOthers(target) : target;
  if (handed.empty()) {
    MessageText = std::string("The update cannot be handed to the installer safely: other users of this ") +
                  "computer can change the folder it is in." + CRLF + CRLF + "Please rerun " + AppTitle + ".";
  } else if (FileExists(*platform_.files, handed) && StillVerified(handed)) {
    const std::intptr_t result = platform_.shell->ShellExecute("open", "\"" + handed + "\"", "", "", 1);
    if (result <= 32) {
      MessageText = std::string("An error has occurred while attempting to run install program.") + CRLF +
                    "Please rerun " + AppTitle + ".";
    }
  } else {
    MessageText = std::string("The ") + AppTitle + " file was not found on disk" + CRLF +
                  "and may have been deleted since it was downloaded." + CRLF + CRLF + "Please rerun " + AppTitle + ".";
  }
  if (!MessageText.empty()) {
    ExitCode = ExitStatus::HandOverFailed;
    platform_.messageBox->MsgBox(MessageText, Mb::Exclamation | Mb::OkOnly, ErrorTitle);
  }
  platform_.window->Unload();
  return false;
}

std::string InstallerHandoff::SafeFromOthers(const std::string& target) {
  IFileSystem& files = *platform_.files;
  const std::string why = files.OthersCanChange(target);
  if (why.empty()) {
    LogInfo(LogArea::Install, "nobody but you can change " + files.NativePath(target) + ": it is handed over");
    return target;
  }
  const std::string own = files.DefaultProductFolder();
  std::string whyNotOwn = own.empty() ? "you have no folder of your own for a copy" : files.OthersCanChange(own);
  if (whyNotOwn.empty()) {
    try {
      const std::string name = Handed().sFileName;
      const std::string copy = FreeCopyName(own, name);
      CopyInto(target, verifiedIdentity_, verified_, copy);
      LogInfo(LogArea::Install,
              why + ": handing over a copy in " + files.NativePath(own) + ", which only you can change");
      return copy;
    } catch (const std::exception& e) {
      whyNotOwn = "the copy to " + files.NativePath(own) + " failed (" + AsRuntimeError(e).Description() + ")";
    }
  }
  LogFailure(LogArea::Install, "the package " + files.NativePath(target) + " was not handed to the installer: " + why +
                                   ", and " + whyNotOwn);
  return "";
}

bool InstallerHandoff::StillVerified(const std::string& target) {
  // Unchanged since it was verified (nobody else can change it: see
  // SafeFromOthers): the click on Install does not wait for a second read.
  if (!verifiedIdentity_.empty() && platform_.files->FileIdentity(target) == verifiedIdentity_) return true;
  std::string mismatch;
  try {
    mismatch = PackageMismatch(FileDigests(*platform_.files, *platform_.verifier, target), Handed());
    if (mismatch.empty()) return true;
  } catch (const std::exception& e) {
    mismatch = "is unreadable (" + AsRuntimeError(e).Description() + ")";
  }
  LogFailure(LogArea::Install,
             "the package " + platform_.files->NativePath(target) + " changed after it was verified: it " + mismatch);
  return false;
}

void InstallerHandoff::RemoveLeftovers(std::int64_t runStarted) {
  IFileSystem& files = *platform_.files;
  try {
    for (const auto& [folder, prefix] :
         {std::pair{files.GetTempPath(), kDownloadFilePrefix}, std::pair{Installed.AppPath, kPartialCopyPrefix}})
      for (const std::string& path : files.RemoveLeftovers(folder, prefix, runStarted))
        LogInfo(LogArea::Install, "removed " + files.NativePath(path) + ", left behind by an earlier run");
  } catch (const std::exception& e) {
    LogFailure(LogArea::Install, std::string("cannot look for what earlier runs left behind: ") + e.what());
  }
}
