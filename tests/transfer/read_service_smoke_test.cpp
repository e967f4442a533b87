// The read service against a real nginx on loopback: a small file arrives
// whole, with its stages in order.
#include <gtest/gtest.h>

#include "fakes/fake_platform.hpp"
#include "fakes/nginx_server.hpp"
#include "platform/qt/qt_async_read.hpp"
#include "qt_support.hpp"

namespace {
TEST(ReadServiceSmokeTest, SmallFileFromNginx) {
  TempDir root;
  WriteFileBytes(root.File("hello.txt"), "hello, larkspire\n");
  NginxServer nginx(root.Native());
  QtAsyncReadService service;
  RecordingHandler rec;
  service.SetHandler(&rec);
  const std::string url = "http://" + nginx.Host() + "/hello.txt";
  service.AsyncRead(url, 1, url, 16);
  ASSERT_TRUE(RunUntil([&] { return rec.Ended(); }));
  ASSERT_FALSE(rec.Last().prop.Failed) << rec.Last().prop.ErrorDescription;
  const std::string native = PosixFileSystem::ToNative(rec.Last().prop.Value());
  EXPECT_EQ(ReadFileBytes(native), "hello, larkspire\n");
  const std::vector<std::int32_t> codes = rec.Codes();
  ASSERT_GE(codes.size(), 4u);
  EXPECT_EQ(codes.front(), AsyncStatus::FindingResource);
  EXPECT_EQ(codes[codes.size() - 2], AsyncStatus::EndDownloadData);
  std::remove(native.c_str());
}
}  // namespace
