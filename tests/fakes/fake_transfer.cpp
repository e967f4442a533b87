#include "fake_transfer.hpp"

#include "support/runtime_error.hpp"

void FakeAsyncReadService::AsyncRead(const std::string& target, std::int32_t asyncType, const std::string& propertyName,
                                     std::int32_t options) {
  reads.push_back({target, asyncType, propertyName, options});
  if (refuseStart) throw RuntimeError(refuseNumber, refuseDescription);
  running.insert(propertyName);
}

void FakeAsyncReadService::CancelAsyncRead(const std::string& propertyName) {
  cancels.push_back(propertyName);
  if (running.erase(propertyName) == 0) throw RuntimeError(12017, "No download is running under that key.");
}

bool FakeAsyncReadService::Deliver(const AsyncProperty& prop, bool complete) {
  if (!running.count(prop.PropertyName)) return false;
  if (complete) running.erase(prop.PropertyName);
  ++delivered;
  if (handler) {
    if (complete)
      handler->AsyncReadComplete(prop);
    else
      handler->AsyncReadProgress(prop);
  }
  return true;
}

bool FakeAsyncReadService::Progress(const std::string& key, std::int32_t statusCode, std::int32_t bytesRead,
                                    std::int32_t bytesMax) {
  AsyncProperty p;
  p.PropertyName = key;
  p.StatusCode = statusCode;
  p.BytesRead = bytesRead;
  p.BytesMax = bytesMax;
  return Deliver(p, false);
}

bool FakeAsyncReadService::Fail(const std::string& key, std::int32_t number, const std::string& description) {
  AsyncProperty p;
  p.PropertyName = key;
  p.StatusCode = AsyncStatus::Error;
  p.Failed = true;
  p.ErrorNumber = number;
  p.ErrorDescription = description;
  return Deliver(p, false);
}

bool FakeAsyncReadService::Complete(const std::string& key, const std::string& path, std::int32_t asyncType) {
  AsyncProperty p;
  p.PropertyName = key;
  p.AsyncType = asyncType;
  p.StatusCode = AsyncStatus::EndDownloadData;
  p.Path = path;
  return Deliver(p, true);
}

bool FakeAsyncReadService::CompleteWithError(const std::string& key, std::int32_t number,
                                             const std::string& description) {
  AsyncProperty p;
  p.PropertyName = key;
  p.StatusCode = AsyncStatus::EndDownloadData;
  p.Failed = true;
  p.ErrorNumber = number;
  p.ErrorDescription = description;
  return Deliver(p, true);
}

void FakeAsyncReadService::ScriptProgress(const std::string& key, std::int32_t statusCode, std::int32_t bytesRead,
                                          std::int32_t bytesMax) {
  Scripted s;
  s.prop.PropertyName = key;
  s.prop.StatusCode = statusCode;
  s.prop.BytesRead = bytesRead;
  s.prop.BytesMax = bytesMax;
  script.push_back(s);
}

void FakeAsyncReadService::ScriptComplete(const std::string& key, const std::string& path) {
  Scripted s;
  s.prop.PropertyName = key;
  s.prop.StatusCode = AsyncStatus::EndDownloadData;
  s.prop.Path = path;
  s.complete = true;
  script.push_back(s);
}

bool FakeAsyncReadService::DeliverNext() {
  if (script.empty()) return false;
  const Scripted next = script.front();
  script.pop_front();
  Deliver(next.prop, next.complete);
  return true;
}

void FakeAsyncReadService::DeliverAll() {
  while (DeliverNext()) {
  }
}
