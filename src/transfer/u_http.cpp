#include "transfer/u_http.hpp"

#include <cmath>

#include "support/runtime_error.hpp"
#include "transfer/connection_state.hpp"

uHttp::uHttp(IAsyncReadService& reader, IConnectionService& connection, IEventLoop& events, IHttpEvents& sink)
    : reader_(reader), connection_(connection), events_(events), sink_(sink) {
  reader_.SetHandler(this);
}

uHttp::~uHttp() { reader_.SetHandler(nullptr); }

std::int32_t uHttp::Width() const { return static_cast<std::int32_t>(std::nearbyint(width_)); }
std::int32_t uHttp::Height() const { return static_cast<std::int32_t>(std::nearbyint(height_)); }

bool uHttp::Download(const std::string& sUrl, const std::string& sKey, std::int64_t lMaxBytes,
                     std::shared_ptr<IStoredBytes> watcher) {
  try {
    reader_.AsyncRead(sUrl, 1, sKey, AsyncOptions::GetLatestVersion, lMaxBytes, std::move(watcher));
    return true;
  } catch (const std::exception& e) {
    const auto* r = dynamic_cast<const RuntimeError*>(&e);
    sink_.htp_HTTPError(sKey, r ? r->Description() : std::string(e.what()));
    return false;
  }
}

bool uHttp::ConnectionState(std::string* sConnectionInfo, std::string* sConnectionName) {
  return ReadConnectionState(connection_, sConnectionInfo, sConnectionName);
}

bool uHttp::Disconnect(const std::string& sKey) {
  try {
    reader_.CancelAsyncRead(sKey);
  } catch (...) {
  }
  return false;
}

std::int32_t uHttp::MapStatus(std::int32_t statusCode) {
  switch (statusCode) {
    case AsyncStatus::FindingResource:
      return tsLocatingFile;
    case AsyncStatus::Connecting:
      return tsConnecting;
    case AsyncStatus::BeginDownloadData:
      return tsDownloading;
    case AsyncStatus::EndDownloadData:
      return tsCompleted;
    case AsyncStatus::SendingRequest:
      return tsSendingRequest;
    default:
      return tsConnecting;
  }
}

void uHttp::AsyncReadProgress(const AsyncProperty& prop) {
  const std::string key = prop.PropertyName;
  if (prop.StatusCode == AsyncStatus::Error) {
    // The fetch failed: stop it, say so, and hand the error on.
    const std::string description = prop.ErrorDescription, route = prop.ErrorRoute;
    try {
      reader_.CancelAsyncRead(key);
    } catch (...) {
    }
    sink_.htp_StatusChange(key, tsStopped);
    if (route.empty())
      sink_.htp_HTTPError(key, description);
    else
      sink_.htp_HTTPErrorVia(key, description, route);
    return;
  }
  if (const std::int32_t status = MapStatus(prop.StatusCode); status != tsConnecting)
    sink_.htp_StatusChange(key, status);
  if (prop.BytesMax < 1)
    sink_.htp_ProgressChange(key, 0, 0);
  else
    sink_.htp_ProgressChange(key, static_cast<float>(prop.BytesRead), static_cast<float>(prop.BytesMax));
  events_.DoEvents();
}

std::string AsyncValue(const AsyncProperty& prop) {
  if (prop.Failed) throw RuntimeError(prop.ErrorNumber, prop.ErrorDescription);
  return prop.Path;
}

void uHttp::AsyncReadComplete(const AsyncProperty& prop) {
  std::string value;
  try {
    value = AsyncValue(prop);
  } catch (const RuntimeError& e) {
    sink_.htp_HTTPError(prop.PropertyName, e.Description());
    return;
  }
  sink_.htp_DownloadComplete(prop.PropertyName, prop.AsyncType, value);
}
