#pragma once
// One fetch on WinINet, run to its end on a worker thread of its own with
// blocking calls. It goes through the system's proxy, bypasses every cache,
// sends no cookies and never shows a dialog; it follows redirects itself,
// as the rules every fetch keeps allow (transfer_rules.hpp); it checks the
// certificate of an https:// server against the system's store; it streams
// the body of the file's answer into its DownloadFile within the file's
// bound and the disk's reserve, and ends on a stall or past its deadline. Each stage it reaches and its end are handed
// to a PostNote, which carries them to the user-interface thread.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "backends/common/transfer_rules.hpp"
#include "backends/win32/download_file.hpp"
#include "backends/win32/fetch_control.hpp"
#include "backends/win32/handles.hpp"
#include "platform/async_read_service.hpp"

// Hands a notification towards the user-interface thread: the property, and
// whether it is the completion.
using PostNote = std::function<void(const AsyncProperty& prop, bool complete)>;

class InetFetch {
 public:
  // The fetch of url under key into file, of at most maxBytes bytes (0: as
  // many as the answer announces), stopped through control; watcher (may be
  // null) sees each piece as it is written. Never fails; nothing is fetched
  // before Run.
  InetFetch(std::string key, std::wstring url, std::int64_t maxBytes, const TransferSettings& settings,
            std::unique_ptr<DownloadFile> file, std::shared_ptr<FetchControl> control, PostNote post,
            std::shared_ptr<IStoredBytes> watcher);
  InetFetch(const InetFetch&) = delete;
  InetFetch& operator=(const InetFetch&) = delete;

  // Fetches to the end, on the calling thread: posts each stage, then the
  // completion or the failure, nothing once cancelled. Never raises.
  void Run();
  // WinINet reached one of its stages (an INTERNET_STATUS_ value) on a
  // handle of this fetch, on the worker's thread. Never fails.
  void Reached(std::uint32_t inetStatus);

 private:
  // Each of these returns the failure that ends the fetch, or nothing while
  // it goes on.
  std::optional<FetchFailure> Transfer();
  // Reads the head of the answer to url; next: where it redirects to.
  std::optional<FetchFailure> Answer(HINTERNET request, const std::wstring& url, int redirects,
                                     std::optional<std::wstring>& next);
  std::optional<FetchFailure> BeginBody(HINTERNET request);
  std::optional<FetchFailure> ReadBody(HINTERNET request);
  FetchFailure LastInetFailure() const;
  // What the fetch had seen when a call of WinINet stopped waiting.
  Wait Waited(bool silent) const;
  void Stage(std::int32_t status);
  void Complete();

  const std::wstring url_;
  std::unique_ptr<DownloadFile> file_;
  TransferRules rules_;
  std::wstring host_;  // of the address being fetched
  std::shared_ptr<FetchControl> control_;
  PostNote post_;
  std::shared_ptr<IStoredBytes> watcher_;

  bool connected_ = false;  // of the answer being read
  bool answered_ = false;
  std::int32_t lastStatus_ = -1;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point sinceProgress_;
  std::chrono::steady_clock::time_point arrival_;  // of the last data, or of the request
};
