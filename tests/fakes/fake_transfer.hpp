#pragma once
// A read service whose notifications the test scripts, and a clock the test
// sets. The fake keeps the real service's rules that the program relies on:
// a fetch exists from AsyncRead until its completion, its failure or its
// cancel; nothing is delivered for a key that has no fetch; cancelling a key
// without a fetch raises.
#include <cstdint>
#include <deque>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/async_read.hpp"

class FakeAsyncReadService : public IAsyncReadService {
 public:
  struct ReadCall {
    std::string target;
    std::int32_t asyncType;
    std::string propertyName;
    std::int32_t options;
  };

  // When set, AsyncRead raises this error and starts nothing.
  bool refuseStart = false;
  std::int32_t refuseNumber = 12006;
  std::string refuseDescription = "The URL does not use a recognized protocol";

  std::vector<ReadCall> reads;       // every AsyncRead, refused ones included
  std::vector<std::string> cancels;  // every cancel asked for, in order
  std::set<std::string> running;     // keys with a fetch
  IAsyncReadHandler* handler = nullptr;

  void SetHandler(IAsyncReadHandler* h) override { handler = h; }
  void AsyncRead(const std::string& target, std::int32_t asyncType, const std::string& propertyName,
                 std::int32_t options) override;
  void CancelAsyncRead(const std::string& propertyName) override;

  // ---- notifications, delivered now when the key has a fetch ----
  // A progress notification; false when nothing was delivered.
  bool Progress(const std::string& key, std::int32_t statusCode, std::int32_t bytesRead = 0, std::int32_t bytesMax = 0);
  // A progress notification with StatusCode 0: the fetch failed. The fetch
  // stays until the receiver cancels it, so a test sees whether it did.
  bool Fail(const std::string& key, std::int32_t number, const std::string& description);
  // The completion with the local file's path; the fetch ends first.
  bool Complete(const std::string& key, const std::string& path, std::int32_t asyncType = 1);
  // A completion whose data cannot be had.
  bool CompleteWithError(const std::string& key, std::int32_t number, const std::string& description);

  // ---- scripted notifications ----
  struct Scripted {
    AsyncProperty prop;
    bool complete = false;
  };
  std::deque<Scripted> script;
  void ScriptProgress(const std::string& key, std::int32_t statusCode, std::int32_t bytesRead = 0,
                      std::int32_t bytesMax = 0);
  void ScriptComplete(const std::string& key, const std::string& path);
  // Delivers the next scripted notification (dropped when its key has no
  // fetch); false when the script is empty.
  bool DeliverNext();
  // Delivers the whole script, including what handlers add meanwhile.
  void DeliverAll();

  // How many notifications reached the handler.
  int delivered = 0;

 private:
  bool Deliver(const AsyncProperty& prop, bool complete);
};

class FakeClock : public IClock {
 public:
  double now = 0;  // seconds since midnight
  double Timer() override { return now; }
};
