#pragma once
// What the tests of the real read service share: one Qt application for
// the whole test program, an event loop run until something has happened,
// and a handler that records every notification.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/async_read.hpp"

// The Qt application the read service needs, made once before the first
// test (unless something else made one) and ended after the last.
class QtApplicationEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (!QCoreApplication::instance()) app_ = new QCoreApplication(argc_, argv_);
  }
  void TearDown() override {
    delete app_;
    app_ = nullptr;
  }

 private:
  int argc_ = 1;
  char name_[16] = "transfer_tests";
  char* argv_[2] = {name_, nullptr};
  QCoreApplication* app_ = nullptr;
};

inline ::testing::Environment* const kQtApplicationEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

// Runs the event loop until done() holds; gives up after bound milliseconds
// (a safety net for a test that goes wrong, never a measure). Returns done().
inline bool RunUntil(const std::function<bool()>& done, int boundMs = 20000) {
  if (done()) return true;
  QEventLoop loop;
  QElapsedTimer clock;
  clock.start();
  QTimer poll;
  poll.setInterval(2);
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (done() || clock.elapsed() > boundMs) loop.quit();
  });
  poll.start();
  loop.exec();
  return done();
}

// Runs the events that are waiting now, and those they post, then returns.
inline void RunPendingEvents() {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

struct Notification {
  AsyncProperty prop;
  bool complete = false;
};

class RecordingHandler : public IAsyncReadHandler {
 public:
  std::vector<Notification> seen;
  // Runs after each notification is recorded.
  std::function<void(const Notification&)> onNotify;

  void AsyncReadProgress(const AsyncProperty& p) override { Record({p, false}); }
  void AsyncReadComplete(const AsyncProperty& p) override { Record({p, true}); }

  // The fetch ended: completed or failed.
  bool Ended() const {
    for (const Notification& n : seen)
      if (n.complete || n.prop.StatusCode == AsyncStatus::Error) return true;
    return false;
  }
  const Notification& Last() const { return seen.back(); }
  std::vector<std::int32_t> Codes() const {
    std::vector<std::int32_t> out;
    for (const Notification& n : seen) out.push_back(n.complete ? -1 : n.prop.StatusCode);
    return out;
  }

 private:
  void Record(const Notification& n) {
    seen.push_back(n);
    if (onNotify) onNotify(seen.back());
  }
};

// The names of the entries of a folder.
inline std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> out;
  for (const auto& e : std::filesystem::directory_iterator(folder)) out.push_back(e.path().filename().string());
  return out;
}
