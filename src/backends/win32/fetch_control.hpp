#pragma once
// What the read service (on the user-interface thread) and the worker of one
// fetch share: whether the fetch was cancelled, the WinINet handles that a
// cancel closes to unblock the worker, and the file the fetch streams into.
// Thread-safe.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "backends/win32/handles.hpp"

class FetchControl {
 public:
  // The control of the fetch into filePath. Never fails.
  explicit FetchControl(std::wstring filePath) : path_(std::move(filePath)) {}
  // Closes what the worker still held (it ended without closing them).
  ~FetchControl();
  FetchControl(const FetchControl&) = delete;
  FetchControl& operator=(const FetchControl&) = delete;

  // Worker: keeps an HINTERNET for a cancel to close. Returns false, having
  // closed it, when the fetch is already cancelled.
  bool Hold(HINTERNET handle);
  // Worker: closes a held handle, unless a cancel already has.
  void Close(HINTERNET handle);
  // Returns whether the fetch was cancelled. Never fails.
  bool Cancelled() const;
  // Service: stops the fetch. Closes its handles (which ends the worker's
  // blocking call) and removes its file, at once or, while the worker still
  // has it open, as soon as it lets go. Never waits for the worker.
  void Cancel();
  // Worker: the fetch is over. Its file stays only when keepFile and the
  // fetch was never cancelled. Call after the worker has closed the file.
  void Finish(bool keepFile);
  // Returns true once the worker has finished, waiting at most until deadline.
  bool WaitFinished(std::chrono::steady_clock::time_point deadline);

 private:
  mutable std::mutex mutex_;
  std::condition_variable finishedChanged_;
  bool cancelled_ = false;
  bool finished_ = false;
  std::vector<HINTERNET> handles_;
  const std::wstring path_;
};
