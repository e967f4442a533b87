#pragma once
// One fetch on WinINet, run to its end on a worker thread of its own with
// blocking calls. It goes through the system's proxy, bypasses every cache,
// sends no cookies and never shows a dialog; it follows at most five
// redirects itself, each only to an http:// address; it streams the body of
// the file's answer into its DownloadFile within the file's bound, and ends
// on a stall. Each stage it reaches and its end are handed to a PostNote,
// which carries them to the user-interface thread.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "backends/common/fetch_failure_texts.hpp"
#include "backends/win32/download_file.hpp"
#include "backends/win32/fetch_control.hpp"
#include "platform/async_read_service.hpp"

struct InetSettings {
  int stallSeconds = 60;  // to connect, or to receive kStallBytesPerSecond
  int progressMs = 40;    // least time between two progress reports
  // The most bytes a file may have when nothing smaller bounds it.
  std::int64_t ceiling = LARKSPIRE_MAX_DOWNLOAD_BYTES;
  static constexpr int kMaxRedirects = 5;
};

// Hands a notification towards the user-interface thread: the property, and
// whether it is the completion.
using PostNote = std::function<void(const AsyncProperty& prop, bool complete)>;

class InetFetch {
 public:
  // The fetch of url under key into file, of at most maxBytes bytes (0: as
  // many as the answer announces), stopped through control. Never fails;
  // nothing is fetched before Run.
  InetFetch(std::string key, std::wstring url, std::int64_t maxBytes, const InetSettings& settings,
            std::unique_ptr<DownloadFile> file, std::shared_ptr<FetchControl> control, PostNote post);
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
  std::optional<FetchFailure> Answer(void* request, const std::wstring& url, int redirects,
                                     std::optional<std::wstring>& next);
  std::optional<FetchFailure> BeginBody(void* request);
  std::optional<FetchFailure> ReadBody(void* request);
  FetchFailure LastInetFailure() const;
  FetchFailure TooLarge() const;
  void Stage(std::int32_t status);
  void Complete();

  const std::string key_;
  const std::wstring url_;
  const std::int64_t maxBytes_;
  const InetSettings settings_;
  std::unique_ptr<DownloadFile> file_;
  std::shared_ptr<FetchControl> control_;
  PostNote post_;

  bool connected_ = false;  // of the answer being read
  bool answered_ = false;
  bool dataBegun_ = false;
  std::int32_t lastStatus_ = -1;
  std::int64_t written_ = 0;
  std::int64_t expected_ = -1;  // the announced length of the file's answer
  // The most bytes the file may have, once the answer is known, and whether
  // the answer's own length set it.
  std::int64_t bound_ = 0;
  bool boundByAnswer_ = false;
  std::chrono::steady_clock::time_point sinceProgress_;
  std::chrono::steady_clock::time_point arrival_;  // of the last data, or of the request
};
