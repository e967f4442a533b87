#include "wizard/update_check.hpp"

#include <utility>

#include "catalog/catalog_reading.hpp"
#include "install_state/path_helpers.hpp"
#include "support/diagnostics.hpp"
#include "support/runtime_error.hpp"

UpdateCheck::UpdateCheck(const Platform& platform, std::string updateHost)
    : platform_(platform),
      updateInfoUrl_(UpdateInfoUrlOf(updateHost)),
      installed_(platform_, [] {}),
      Catalog(platform_, table_, updateInfoUrl_) {}

UpdateCheck::~UpdateCheck() = default;

void UpdateCheck::Start(std::function<void()> done) {
  done_ = std::move(done);
  Catalog.SayWhenUnsigned();
  try {
    installed_.ReadInstalledState();  // ends the program when Larkspire is not installed
    table_.assign(1, {});
    table_[0].sSourceUrl = updateInfoUrl_;
    htp_ = std::make_unique<uHttp>(*platform_.reader, *platform_.connection, *platform_.events,
                                   static_cast<IHttpEvents&>(*this));
    // The same request as the wizard's: the address, no cache, the bound.
    if (!htp_->Download(updateInfoUrl_, updateInfoUrl_, kMaxProfileBytes)) return;  // HTTPError has finished it
    LogInfo(LogArea::Catalog, "checking " + updateInfoUrl_);
  } catch (const std::exception& e) {
    LogFailure(LogArea::Catalog, "the check could not start: " + AsRuntimeError(e).Description());
    Finish(Failed);
  }
}

void UpdateCheck::htp_HTTPError(const std::string& sKey, const std::string& sError) {
  // The failure's own sentence goes on in this line: its full stop would stand before the ";".
  const std::string reason = sError.ends_with('.') ? sError.substr(0, sError.size() - 1) : sError;
  LogFailure(LogArea::Transfer,
             (sKey.empty() ? updateInfoUrl_ : sKey) + ": " + reason + "; the next scheduled check tries again");
  Finish(Failed);
}

void UpdateCheck::htp_DownloadComplete(const std::string&, std::int32_t lType, const std::string& vData) {
  if (lType != 1 || !FileExists(*platform_.files, vData)) {
    htp_HTTPError(updateInfoUrl_, "The downloaded file was corrupt");
    return;
  }
  table_[0].sDownloadedFile = vData;
  const auto [result, accepted] = Catalog.ReadUpdateInfo(vData, installed_.State);
  installed_.StoreCatalogSerial(accepted);
  try {
    platform_.files->Kill(vData);
  } catch (const std::exception&) {
    LogFailure(LogArea::Transfer, "cannot remove " + platform_.files->NativePath(vData));
  }
  if (result == crError) {
    Finish(Failed);
    return;
  }
  if (result != crUpdatesAvailable) {
    Finish(UpToDate);
    return;
  }
  CatalogIdentity = accepted.empty() ? table_[1].sSourceUrl + " " + table_[1].sCrc : accepted;
  for (std::size_t i = 2; i < table_.size(); ++i) {
    Components.push_back(table_[i].sFileName + " " + table_[i].sVersion);
    if (accepted.empty()) CatalogIdentity += " " + Components.back();
  }
  Finish(UpdateAvailable);
}

void UpdateCheck::Finish(Outcome outcome) {
  Result = outcome;
  if (auto done = std::exchange(done_, nullptr)) done();
}
