#pragma once
// The asynchronous read service on WinINet, for the Windows program. Each
// fetch runs on a worker thread of its own (inet_fetch.hpp) and streams its
// body into a file created exclusively in the temporary folder; it reports
// its real stages in order (finding the resource, connecting, sending the
// request, data begins, data ends) with progress at most every progress
// interval, then the completion with the file, or a failure with its number
// and readable words, the same as the Linux service's (fetch_failure_texts.hpp).
//
// Every notification is delivered on the thread that made the service: the
// workers post to a message-only window of the service's, whose window
// procedure calls the handler. They arrive whenever that thread dispatches
// its messages, in the program's message loop or any other, such as a
// PeekMessage loop or a modal dialog's.
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>

#include "backends/win32/inet_fetch.hpp"
#include "backends/win32/prelude.hpp"
#include "platform/async_read_service.hpp"

class Win32AsyncReadService : public IAsyncReadService {
 public:
  // Makes the service's message-only window on the calling thread. Raises
  // RuntimeError when the window cannot be made.
  Win32AsyncReadService();
  // Stops every fetch: each is cancelled, and the workers are given a moment
  // to end; nothing is delivered after.
  ~Win32AsyncReadService() override;
  Win32AsyncReadService(const Win32AsyncReadService&) = delete;
  Win32AsyncReadService& operator=(const Win32AsyncReadService&) = delete;

  // Who receives the notifications (none: they are dropped). Never fails.
  void SetHandler(IAsyncReadHandler* handler) override { handler_ = handler; }
  // Starts the fetch of target (an http:// or https:// address, UTF-8) under
  // the key propertyName, replacing a fetch under that key. Raises
  // RuntimeError when target is neither, or no file or worker can be made.
  void AsyncRead(const std::string& target, std::int32_t asyncType, const std::string& propertyName,
                 std::int32_t options, std::int64_t maxBytes, std::shared_ptr<IStoredBytes> watcher) override;
  // Stops the fetch of that key at once: nothing more is delivered for it
  // and its file is removed. Raises RuntimeError when no such fetch runs.
  void CancelAsyncRead(const std::string& propertyName) override;

  // The rules of the fetches started from now on: stall limit, progress
  // interval, size ceiling, disk reserve and deadline (transfer_rules.hpp).
  TransferSettings& Settings() { return settings_; }

 private:
  // What the workers post: the notifications, and the window they wake.
  struct Mailbox;
  struct Note {
    std::uint64_t fetch;  // which fetch under the key posted it
    AsyncProperty prop;
    bool complete;
  };
  struct Running {
    std::uint64_t id;
    std::shared_ptr<FetchControl> control;
  };

  friend class ReadServiceWindow;  // its window procedure delivers
  // Hands over the notifications that have arrived, in the order posted.
  void Deliver();
  void Stop(const std::string& key);

  IAsyncReadHandler* handler_ = nullptr;
  TransferSettings settings_;
  HWND window_ = nullptr;
  std::shared_ptr<Mailbox> mailbox_;
  std::map<std::string, Running> fetches_;
  std::deque<Note> arrived_;  // taken from the mailbox, not handed over yet
  std::uint64_t lastId_ = 0;
};
