#include "install_state/read_installed_state.hpp"

#include "install_state/path_helpers.hpp"
#include "install_state/product_id.hpp"
#include "install_state/version_rules.hpp"
#include "support/app_texts.hpp"
#include "support/diagnostics.hpp"
#include "support/runtime_error.hpp"

namespace {
const char* const kMainKey = "\\LarkspireBrowser\\Main";
const char* const kComponentsKey = "\\Components";
}  // namespace

void InstalledStateReader::ReadInstalledState() {
  Registry = std::make_unique<cRegistry>(*platform_.registry, *platform_.environment);
  if (registerMessages_) registerMessages_();
  Registry->RootKey("Software\\Tessarine");

  const RegValue version = Registry->RegRead(kMainKey, "App Version");
  if (GetValidVersion(version) == "0") {
    // Which value was wrong and where it was looked for: a user told to
    // reinstall can then see whether the file or one value is at fault.
    const std::string found = IsBytes(version) ? std::string() : ValueToText(version);
    const bool printable = !found.empty() && found.find('\0') == std::string::npos;
    LogFailure(LogArea::Startup,
               "Larkspire is not installed for this user: " +
                   (printable ? "\"App Version\" is \"" + found + "\", which is not a version M.NN.BBBB"
                              : std::string("there is no \"App Version\"")) +
                   " in HKEY_CURRENT_USER\\Software\\Tessarine" + kMainKey + ", read from " +
                   platform_.registry->Source());
    const std::string MessageText = std::string("Larkspire was either not installed or not") + CRLF +
                                    "installed properly. Please reinstall Larkspire." + CRLF + CRLF +
                                    "Cannot continue with update.";
    platform_.messageBox->MsgBox(MessageText, Mb::Critical | Mb::OkOnly, AppTitle);
    platform_.process->EndProgram(ExitStatus::NotInstalled);
    return;  // only reached where ending is simulated
  }
  State.AppVersion = ValueToText(version);
  if (const RegValue serial = Registry->RegRead(kMainKey, "CatalogSerial"); !IsBytes(serial))
    State.CatalogSerial = ValueToText(serial);
  if (const RegValue copies = Registry->RegRead(kMainKey, "Package Copies"); !IsBytes(copies))
    State.PackageCopies = ValueToText(copies);

  // A path of another type can name no folder: it falls back like a missing one.
  const RegValue pathValue = Registry->RegRead(kMainKey, "App Path");
  std::string path = IsBytes(pathValue) ? std::string() : ValueToText(pathValue);
  if (!FileExists(*platform_.files, path)) {
    const std::string named = path;
    path = GetDefaultPath(*platform_.files);
    LogFailure(LogArea::Startup,
               "\"App Path\" " + (named.empty() ? std::string("is not set") : "\"" + named + "\" is no folder here") +
                   "; the update goes to " + platform_.files->NativePath(path));
  }
  State.AppPath = NormalizePath(path, true);

  GetProductID(*Registry, *platform_.guid);

  State.InstalledVersions[0] = State.AppVersion;
  for (std::size_t i = 1; i < kInstalledComponentNames.size(); ++i) {
    RegValue v = Registry->RegRead(kComponentsKey, kInstalledComponentNames[i]);
    if (IsText(v)) v = TrimSpaces(std::get<std::string>(v));
    State.InstalledVersions[i] = GetValidVersion(v);
  }
}

void InstalledStateReader::StoreCatalogSerial(const std::string& serial) {
  if (serial.empty() || serial == State.CatalogSerial) return;
  unkeptSerial_.clear();
  try {
    if (Registry && Registry->RegWrite(kMainKey, "CatalogSerial", RegValue(serial))) {
      State.CatalogSerial = serial;
      return;
    }
  } catch (const std::exception&) {
  }
  unkeptSerial_ = serial;
  LogFailure(LogArea::Registry, "cannot keep the catalog serial " + serial +
                                    " as \"CatalogSerial\" in HKEY_CURRENT_USER"
                                    "\\Software\\Tessarine" +
                                    std::string(kMainKey) + " now; it is tried again");
}

void InstalledStateReader::KeepUnkept() {
  // A copy: the store clears what it is given to keep.
  if (const std::string serial = unkeptSerial_; !serial.empty()) StoreCatalogSerial(serial);
}

void InstalledStateReader::StorePackageCopies(const std::string& copies) {
  KeepUnkept();
  try {
    if (Registry && Registry->RegWrite(kMainKey, "Package Copies", RegValue(copies))) {
      State.PackageCopies = copies;
      return;
    }
  } catch (const std::exception&) {
  }
  LogFailure(LogArea::Registry,
             "cannot keep the list of package copies as \"Package Copies\" in HKEY_CURRENT_USER"
             "\\Software\\Tessarine" +
                 std::string(kMainKey) + ": copies of this run will not be removed by later ones");
}
