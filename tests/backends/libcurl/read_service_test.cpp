// The libcurl read service against the read services' one table, played by
// servers on loopback (the end-to-end tests fetch from nginx). Every fetch
// stores into a private folder, so the tests see every file the service
// leaves behind.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <cstring>
#include <deque>
#include <regex>

#include "backends/libcurl/async_read_service.hpp"
#include "backends/posix/file_system.hpp"
#include "backends/read_service_rows.hpp"
#include "fakes/fake_platform.hpp"
#include "fakes/scoped_env.hpp"
#include "platform/async_read_service.hpp"
#include "transfer/u_http.hpp"

namespace {
// A small HTTP server on 127.0.0.1, in the event loop; its connections are
// its children.
std::unique_ptr<QTcpServer> Serve(const Script& script) {
  auto server = std::make_unique<QTcpServer>();
  server->listen(QHostAddress::LocalHost);
  QObject::connect(server.get(), &QTcpServer::newConnection, [server = server.get(), script] {
    QTcpSocket* socket = server->nextPendingConnection();
    QObject::connect(socket, &QTcpSocket::readyRead, [=, head = std::string()]() mutable {
      const bool answered = head.find("\r\n\r\n") != std::string::npos;
      if ((head += socket->readAll().toStdString()).find("\r\n\r\n") == std::string::npos || answered) return;
      socket->write(QByteArray::fromStdString(script.answer(head)));
      if (!script.trickle) return socket->disconnectFromHost();
      auto* timer = new QTimer(socket);
      QObject::connect(timer, &QTimer::timeout, [=] {
        if (socket->state() == QAbstractSocket::ConnectedState) socket->write(script.trickle);
      });
      timer->start(20);
    });
  });
  return server;
}

// The event loop runs until done, or for ms at most (a safety net); done().
bool Wait(const std::function<bool()>& done, int ms) { return QTest::qWaitFor(done, ms); }
using ReadServiceTest = ReadServiceFixture<QtAsyncReadService, TempDir, Wait>;

// ---- the read services' one table (read_service_rows.hpp) ----

class FaultTest : public ReadServiceTest, public ::testing::WithParamInterface<ReadRow> {};

TEST_P(FaultTest, EndsAsTheRowSays) {
  const ReadRow& row = GetParam();
  const std::string& expected = row.OutcomeFor(ReadService::Libcurl);
  const std::unique_ptr<QTcpServer> server = Serve(row.server);
  const auto at = [&](const std::string& s) {  // "@": the server's host
    return std::regex_replace(s, std::regex("@(?!\\d)"), "127.0.0.1:" + std::to_string(server->serverPort()));
  };
  std::deque<ScopedEnv> env;
  for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"})
    env.emplace_back(name, nullptr);
  for (auto [name, value] : row.env) env.emplace_back(name, at(value).c_str());
  // A full disk: a small file system of its own (unmounting the folder of
  // the other rows, which is no mount point, does nothing).
  const std::string store = expected == kFull ? folder.File("small") : folder.Native();
  if (store != folder.Native() &&
      (!std::filesystem::create_directory(store) || ::mount("tmpfs", store.c_str(), "tmpfs", 0, "size=16k") != 0))
    GTEST_SKIP() << "a full disk needs a small tmpfs, which cannot be mounted here: " << std::strerror(errno);
  const std::shared_ptr<void> unmount(nullptr, [&](void*) { ::umount2(store.c_str(), MNT_DETACH); });
  service.SetDownloadFolder(QString::fromStdString(store));
  service.Settings() = TableSettings(expected == kReserve ? kReserveBytes : 0);

  const std::string url = at("http://" + row.host + "/browser/updchk.ndf");
  const bool cancel = expected == "cancelled";  // once data arrives
  ASSERT_TRUE(Fetch(url, cancel, row.limit));
  if (cancel) service.CancelAsyncRead(url);
  const std::size_t delivered = seen.size();
  QTest::qWait(20);
  std::string outcome = cancel ? "cancelled" : std::to_string(Last().ErrorNumber) + " " + Last().ErrorDescription;
  if (!cancel && !Last().ErrorRoute.empty()) outcome += " " + Last().ErrorRoute;
  std::int32_t max = 0;
  const std::string stages = StagesOf(seen, max);
  if (!cancel && seen.back().second) {  // the user's own file, in the folder, through each stage in order
    const std::filesystem::path file = PosixFileSystem::ToNative(AsyncValue(Last()));
    EXPECT_TRUE(file.parent_path() == store &&
                std::filesystem::status(file).permissions() == std::filesystem::perms(0600));
    EXPECT_TRUE(std::regex_match(stages, std::regex("1 (2 11 )+4 6 6="))) << stages;
    outcome = "=" + ReadFileBytes(file) + (max ? "" : " (no length)");
    if (watched->bytes != ReadFileBytes(file)) outcome += " (the watcher saw other bytes)";
  }
  EXPECT_EQ(InTableWords(outcome, store) + (seen.size() > delivered ? " and more after the end" : ""), expected);
  if (expected.starts_with("=")) return;
  EXPECT_THROW(cancel ? service.CancelAsyncRead(url) : (void)AsyncValue(Last()), RuntimeError);
  EXPECT_TRUE(std::filesystem::is_empty(store)) << "a file was left behind";
}

INSTANTIATE_TEST_SUITE_P(Table, FaultTest, ::testing::ValuesIn(ReadRowsFor(ReadService::Libcurl)),
                         [](const auto& info) { return std::string(info.param.name); });
}  // namespace
