#pragma once
// A read service whose notifications the test sends, and a clock the test
// sets. It keeps the real service's rules the program relies on: a fetch
// exists from AsyncRead until its completion or its cancel; nothing is
// delivered for a key without a fetch; cancelling such a key raises.
#include <set>
#include <string>
#include <vector>

#include "platform/async_read_service.hpp"
#include "platform/clock.hpp"
#include "support/runtime_error.hpp"

struct FakeAsyncReadService : IAsyncReadService {
  bool refuseStart = false;        // AsyncRead raises and starts nothing
  std::vector<std::string> reads;  // every AsyncRead, "target key type options maxBytes"
  std::set<std::string> running;   // keys with a fetch
  IAsyncReadHandler* handler = nullptr;

  void SetHandler(IAsyncReadHandler* h) override { handler = h; }
  std::shared_ptr<IStoredBytes> watcher;  // of the last AsyncRead
  void AsyncRead(const std::string& target, std::int32_t type, const std::string& key, std::int32_t options,
                 std::int64_t maxBytes, std::shared_ptr<IStoredBytes> w) override {
    watcher = std::move(w);
    reads.push_back(target + " " + key + " " + std::to_string(type) + " " + std::to_string(options) + " " +
                    std::to_string(maxBytes));
    if (refuseStart) throw RuntimeError(12006, "The URL does not use a recognized protocol");
    running.insert(key);
  }
  void CancelAsyncRead(const std::string& key) override {
    if (!running.erase(key)) throw RuntimeError(12017, "No download is running under that key.");
  }

  // A progress of a fetch that runs. Status 0 is a failure, whose fetch
  // stays until the receiver cancels it.
  void Progress(const std::string& key, std::int32_t status, std::int32_t read = 0, std::int32_t max = 0,
                const std::string& error = "", const std::string& route = "") {
    if (running.count(key))
      handler->AsyncReadProgress({key, 1, status, read, max, "", status == 0, status ? 0 : 12030, error, route});
  }
  // The completion of a fetch that runs, with the local file; failed:
  // without data, and text is the error.
  void Complete(const std::string& key, const std::string& text, std::int32_t type = 1, bool failed = false) {
    if (running.erase(key))
      handler->AsyncReadComplete(
          {key, type, 6, 0, 0, failed ? "" : text, failed, failed ? 12030 : 0, failed ? text : "", ""});
  }
};

struct FakeClock : IClock {
  double now = 0;  // seconds since midnight
  double Timer() override { return now; }
};
