#include "backends/win32/fetch_control.hpp"

#include <algorithm>

#include "backends/win32/prelude.hpp"

FetchControl::~FetchControl() {
  for (auto it = handles_.rbegin(); it != handles_.rend(); ++it) InternetCloseHandle(*it);
}

bool FetchControl::Hold(HINTERNET handle) {
  const std::lock_guard lock(mutex_);
  if (cancelled_) {
    InternetCloseHandle(handle);
    return false;
  }
  handles_.push_back(handle);
  return true;
}

void FetchControl::Close(HINTERNET handle) {
  const std::lock_guard lock(mutex_);
  const auto it = std::find(handles_.begin(), handles_.end(), handle);
  if (it == handles_.end()) return;  // closed by a cancel
  handles_.erase(it);
  InternetCloseHandle(handle);
}

bool FetchControl::Cancelled() const {
  const std::lock_guard lock(mutex_);
  return cancelled_;
}

void FetchControl::Cancel() {
  const std::lock_guard lock(mutex_);
  if (cancelled_) return;
  cancelled_ = true;
  // The request before its connection and session, as they were made.
  for (auto it = handles_.rbegin(); it != handles_.rend(); ++it) InternetCloseHandle(*it);
  handles_.clear();
  // The worker opens the file with FILE_SHARE_DELETE: the name goes now, or
  // when its handle closes; the worker removes it again when it finishes.
  DeleteFileW(path_.c_str());
}

void FetchControl::Finish(bool keepFile) {
  const std::lock_guard lock(mutex_);
  if (!keepFile || cancelled_) DeleteFileW(path_.c_str());
  finished_ = true;
  finishedChanged_.notify_all();
}

bool FetchControl::WaitFinished(std::chrono::steady_clock::time_point deadline) {
  std::unique_lock lock(mutex_);
  return finishedChanged_.wait_until(lock, deadline, [this] { return finished_; });
}
