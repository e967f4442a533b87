#include <algorithm>
#include <ctime>

#include "catalog/catalog_reading.hpp"
#include "catalog/catalog_rules.hpp"
#include "catalog/catalog_signature.hpp"
#include "catalog/update_catalog.hpp"
#include "install_state/path_helpers.hpp"
#include "support/codepage.hpp"
#include "support/diagnostics.hpp"

namespace {
// The value buffer of the profile reader: values longer than 254 characters
// are cut.
constexpr std::uint32_t kValueBuffer = 255;

std::int64_t FileLength(IFileSystem& files, const std::string& path) {
  try {
    return files.OpenRead(path)->Length();
  } catch (const std::exception&) {
    return -1;  // no length matches a "size"
  }
}

// The verdict of a usable file, in a line of the log.
std::string VerdictText(CatalogResult result, const CatalogReading& reading) {
  if (result == crNotAvailable) return "no update is available at this time";
  std::string text = result == crUpToDate ? "up to date" : "updates available:";
  for (const UpdateComponent& c : reading.components) text += " " + c.sFileName + " " + c.sVersion;
  return text + "; the package is " + reading.setupUrl + " with CRC-32 " + reading.setupCrc;
}

}  // namespace

void UpdateCatalog::SayWhenUnsigned() const {
  if (Keys.empty())
    LogFailure(LogArea::Startup, "this wizard was built to accept unsigned updates from " + updateInfoUrl_ +
                                     ": anyone who answers there can have a program of theirs installed");
}

std::string UpdateCatalog::GetIniValue(const std::string& sSection, const std::string& sKey) {
  if (verified_) {
    std::string value = verified_->Value(Utf8ToAnsi(sSection), Utf8ToAnsi(sKey)).value_or("");
    if (value.size() > kValueBuffer - 1) value.resize(kValueBuffer - 1);
    return AnsiToUtf8(value);
  }
  if (table_.empty()) return "";
  const std::string& file = table_[0].sDownloadedFile;
  try {
    if (!FileExists(*platform_.files, file)) return "";
    char buffer[kValueBuffer] = {};
    const std::uint32_t n = platform_.profiles->GetPrivateProfileString(Utf8ToAnsi(sSection), Utf8ToAnsi(sKey), "",
                                                                        buffer, kValueBuffer, file);
    return AnsiToUtf8(std::string_view(buffer, std::min(n, kValueBuffer - 1)));
  } catch (const std::exception&) {
    return "";
  }
}

bool UpdateCatalog::IsNewerVersion(int sKey, std::string& sVersion) {
  if (sKey < 1 || sKey >= static_cast<int>(ComponentKeys.size())) return false;
  // The product itself compares with its stored version, the others with
  // the versions discovered at start-up.
  const std::string& installed =
      sKey == 1 ? Installed.AppVersion : Installed.InstalledVersions[static_cast<std::size_t>(sKey - 1)];
  return ::IsNewerVersion(installed, sVersion);
}

CatalogOutcome UpdateCatalog::ReadUpdateInfo(const std::string& sFile, const InstalledState& installed) {
  if (table_.empty()) table_.resize(1);
  Installed = installed;
  CatalogResult result = crError;
  verified_.reset();
  AcceptedSerial.clear();
  try {
    const CatalogValueFn value = [this](const std::string& section, const std::string& key) {
      return GetIniValue(section, key);
    };
    std::int64_t length = -1;
    std::string refused;
    if (Keys.empty()) {
      length = FileLength(*platform_.files, sFile);
    } else {
      // Read once: the bytes whose signature holds are the bytes whose values count.
      const std::string bytes = ReadFileUpTo(*platform_.files, sFile, kMaxProfileBytes + 1);
      refused = CheckCatalogSignature(bytes, Keys, *platform_.verifier).why;
      if (refused.empty()) {
        verified_ = ProfileDocument::Parse(bytes);
        length = static_cast<std::int64_t>(bytes.size());
        refused = CheckSignedFields(value, Installed.CatalogSerial, SerialFloor, std::time(nullptr));
      }
    }
    const auto newer = [this](int row, std::string& version) { return IsNewerVersion(row, version); };
    CatalogReading reading;
    if (refused.empty())
      reading = EvaluateCatalog(value, length, newer);
    else
      reading.why = refused;
    if (!Keys.empty() && reading.result != crError) AcceptedSerial = value(ComponentKeys[0], "serial");
    result = reading.result;
    if (result == crError)
      LogFailure(LogArea::Catalog, "the update information from " + updateInfoUrl_ + " is unusable: " + reading.why);
    else
      LogInfo(LogArea::Catalog, "the update information says: " + VerdictText(result, reading));
    if (result == crUpdatesAvailable || result == crUpToDate) {
      // Entries 0 and 1 keep what they hold; a retry leaves no component of
      // an earlier reading behind.
      table_.resize(2);
      table_[1].sSourceUrl = reading.setupUrl;
      table_[1].sFileName = reading.setupFileName;
      table_[1].sCrc = reading.setupCrc;
      table_[1].lSize = reading.setupSize;
      table_[1].sSha256 = reading.setupSha256;
      table_.insert(table_.end(), reading.components.begin(), reading.components.end());
    }
  } catch (const std::exception& e) {
    LogFailure(LogArea::Catalog, "cannot read the update information from " + updateInfoUrl_ + ": " + e.what());
    result = crError;
  }
  table_[0].bVerified = result != crError;
  return {result, AcceptedSerial};
}
