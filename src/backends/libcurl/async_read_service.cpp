#include "backends/libcurl/async_read_service.hpp"

#include <unistd.h>

#include <QDir>
#include <QTimer>

#include "backends/libcurl/curl_on_demand.hpp"
#include "backends/libcurl/fetch_errors.hpp"
#include "backends/openssl/crypto_on_demand.hpp"
#include "backends/posix/file_system.hpp"
#include "support/runtime_error.hpp"

namespace {
// A proxy's address as the user may see it: without the user name and
// password it may carry.
std::string ProxyShown(const std::string& proxy) {
  const bool schemed = proxy.find("://") != std::string::npos;
  QUrl url(QString::fromStdString(schemed ? proxy : "http://" + proxy));
  url.setUserInfo(QString());
  return url.isValid() ? url.toString(QUrl::RemovePath).toStdString() : "(an address that cannot be read)";
}
}  // namespace

QtAsyncReadService::QtAsyncReadService() = default;

QtAsyncReadService::~QtAsyncReadService() {
  while (!fetches_.empty()) Drop(fetches_.begin()->first, true);
  Forget([](const Pending&) { return true; });
}

void QtAsyncReadService::AsyncRead(const std::string& target, std::int32_t, const std::string& propertyName,
                                   std::int32_t, std::int64_t maxBytes, std::shared_ptr<IStoredBytes> watcher) {
  const QUrl url(QString::fromStdString(target), QUrl::StrictMode);
  if (!url.isValid() || SchemeOf(target) == Scheme::Other || url.host().isEmpty())
    RaiseFetchFailure(FetchFailed::NotHttp(target));
  if (!driver_) {
    // libcurl makes every download; libcrypto names the trust store each one
    // checks certificates against (an http:// address may lead to https://).
    const std::string& failure = !Curl().failure.empty() ? Curl().failure : Crypto().failure;
    if (!failure.empty())
      RaiseFetchFailure(FetchFailed::Other("a library every download needs could not be loaded: " + failure));
    driver_ = std::make_unique<CurlQtDriver>([this](CURL* easy, CURLcode result) { Ended(easy, result); });
  }
  // A new fetch under a key replaces the old one, delivered or not.
  Forget([&propertyName](const Pending& p) { return p.prop.PropertyName == propertyName; });
  Drop(propertyName, true);

  const QString folder = folder_.isEmpty() ? QDir::tempPath() : folder_;
  auto fetch = std::make_unique<Fetch>(
      propertyName, url, folder, maxBytes, settings_, [this](Fetch& f, std::int32_t status) { Progress(f, status); },
      std::move(watcher));
  Fetch& f = *fetch;
  fetches_[propertyName] = std::move(fetch);
  Progress(f, AsyncStatus::FindingResource);
  driver_->Add(f.Easy());
}

void QtAsyncReadService::Ended(CURL* easy, CURLcode result) {
  Fetch* found = nullptr;
  Curl().easy_getinfo(easy, CURLINFO_PRIVATE, &found);
  Fetch& f = *found;
  if (!f.failure.empty()) return Fail(f, {f.failNumber, f.failure});
  if (result != CURLE_OK) {
    FetchEnd end{.result = result, .wait = f.Waited(), .host = f.host, .detail = f.error};
    Curl().easy_getinfo(easy, CURLINFO_OS_ERRNO, &end.osError);
    Curl().easy_getinfo(easy, CURLINFO_SSL_VERIFYRESULT, &end.verifyResult);
    return Fail(f, DescribeFetchError(end, f.rules));
  }
  if (!f.rules.DataBegun() && !f.location.empty()) {  // a redirect: the next step, if the rules allow it
    driver_->Remove(easy);
    if (std::optional<FetchFailure> refused = f.Follow()) return Fail(f, *refused);
    return driver_->Add(easy);
  }
  // An answer that is neither the file nor a redirect to follow.
  if (!f.rules.DataBegun()) return Fail(f, FetchFailed::Status(f.status, f.reason));
  if (std::optional<FetchFailure> failed = f.Flush()) return Fail(f, *failed);
  Finish(f);
}

void QtAsyncReadService::Finish(Fetch& f) {
  // The file gets its name in the folder now (it had none so far).
  const QString name = f.file->fileName();
  if (name.isEmpty()) return Fail(f, FetchFailed::NotStored());
  Progress(f, AsyncStatus::EndDownloadData);
  Post(f.rules.Completion(PosixFileSystem::FromNative(name.toStdString())), true);
  // The file now belongs to the receiver; the fetch is over.
  Drop(f.key, false);
}

void QtAsyncReadService::Post(const AsyncProperty& prop, bool complete) {
  queue_.push_back({prop, complete});
  if (deliveryScheduled_) return;
  deliveryScheduled_ = true;
  // Delivered from the event loop: a receiver may run the event loop again,
  // which must never happen inside libcurl's callbacks.
  QTimer::singleShot(0, this, [this] {
    deliveryScheduled_ = false;
    Deliver();
  });
}

void QtAsyncReadService::Deliver() {
  while (!queue_.empty()) {
    const Pending next = std::move(queue_.front());
    queue_.pop_front();
    if (!handler_) continue;
    if (next.complete)
      handler_->AsyncReadComplete(next.prop);
    else
      handler_->AsyncReadProgress(next.prop);
  }
}

void QtAsyncReadService::Progress(Fetch& f, std::int32_t status) {
  if (!f.announced && status != AsyncStatus::FindingResource) Progress(f, AsyncStatus::FindingResource);
  f.announced = true;
  f.lastStatus = status;
  f.sinceProgress.restart();
  // A coded body is counted as it arrives, like the length announced for it.
  Post(f.rules.Stage(status, f.Received()), false);
}

void QtAsyncReadService::Fail(Fetch& f, const FetchFailure& failed) {
  // Whoever reads the failure should know where the fetch really went.
  Post(f.rules.Failure(failed, f.proxy.empty() ? "" : ThroughProxyText(ProxyShown(f.proxy))), false);
  Drop(f.key, true);
}

void QtAsyncReadService::CancelAsyncRead(const std::string& propertyName) {
  // Nothing more is delivered for a cancelled fetch, not even what is on its
  // way, such as a completion that has not been handed over yet.
  const bool forgotten = Forget([&propertyName](const Pending& p) { return p.prop.PropertyName == propertyName; });
  if (!fetches_.count(propertyName)) {
    if (!forgotten) RaiseFetchFailure(FetchFailed::NoSuchFetch());
    return;
  }
  Drop(propertyName, true);
}

bool QtAsyncReadService::Forget(const std::function<bool(const Pending&)>& which) {
  bool any = false;
  for (auto it = queue_.begin(); it != queue_.end();) {
    if (!which(*it)) {
      ++it;
      continue;
    }
    // A completion that is never handed over takes its file with it.
    if (it->complete && !it->prop.Failed) ::unlink(PosixFileSystem::ToNative(it->prop.Path).c_str());
    it = queue_.erase(it);
    any = true;
  }
  return any;
}

void QtAsyncReadService::Drop(const std::string& key, bool removeFile) {
  auto it = fetches_.find(key);
  if (it == fetches_.end()) return;
  std::unique_ptr<Fetch> f = std::move(it->second);
  fetches_.erase(it);
  driver_->Remove(f->Easy());
  f->file->close();
  if (removeFile) f->file->remove();
}
