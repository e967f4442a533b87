// The read service against a real nginx on loopback: a small file arrives
// whole, with its stages in order.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include "fakes/fake_platform.hpp"
#include "fakes/nginx_server.hpp"
#include "platform/qt/qt_async_read.hpp"

namespace {
struct Recorder : IAsyncReadHandler {
  std::vector<std::int32_t> codes;
  bool done = false;
  AsyncProperty last;
  void AsyncReadProgress(const AsyncProperty& p) override {
    codes.push_back(p.StatusCode);
    if (p.StatusCode == AsyncStatus::Error) {
      done = true;
      last = p;
    }
  }
  void AsyncReadComplete(const AsyncProperty& p) override {
    done = true;
    last = p;
  }
};

TEST(ReadServiceSmokeTest, SmallFileFromNginx) {
  int argc = 1;
  char name[] = "t";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  TempDir root;
  WriteFileBytes(root.File("hello.txt"), "hello, larkspire\n");
  NginxServer nginx(root.Native());
  QtAsyncReadService service;
  Recorder rec;
  service.SetHandler(&rec);
  const std::string url = "http://" + nginx.Host() + "/hello.txt";
  service.AsyncRead(url, 1, url, 16);
  QTimer guard;
  QEventLoop loop;
  QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
  guard.start(10);
  for (int i = 0; i < 1000 && !rec.done; ++i) loop.exec();
  ASSERT_TRUE(rec.done);
  ASSERT_FALSE(rec.last.Failed) << rec.last.ErrorDescription;
  const std::string native = PosixFileSystem::ToNative(rec.last.Value());
  EXPECT_EQ(ReadFileBytes(native), "hello, larkspire\n");
  ASSERT_GE(rec.codes.size(), 4u);
  EXPECT_EQ(rec.codes.front(), AsyncStatus::FindingResource);
  EXPECT_EQ(rec.codes.back(), AsyncStatus::EndDownloadData);
  std::remove(native.c_str());
}
}  // namespace
