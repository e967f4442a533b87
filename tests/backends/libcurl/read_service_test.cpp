// The read service against real servers on loopback (the end-to-end tests
// fetch from nginx): one table of servers, faulty or not, proxies and a full
// disk. Every fetch stores into a private folder, so the tests see every
// file the service leaves behind.
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
#include "fakes/fake_platform.hpp"
#include "fakes/scoped_env.hpp"
#include "platform/async_read_service.hpp"
#include "transfer/u_http.hpp"

namespace {
std::string Reply(const std::string& status, const std::string& body, const std::string& headers = "") {
  return "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" + headers + "\r\n" + body;
}

// How a server answers a request, given its head; then it closes, or with a
// trickle it sends that every 20 ms and never closes ("": keeps silent).
using Script = std::pair<std::function<std::string(const std::string& head)>, const char* /* trickle */>;

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
      socket->write(QByteArray::fromStdString(script.first(head)));
      if (!script.second) return socket->disconnectFromHost();
      auto* timer = new QTimer(socket);
      QObject::connect(timer, &QTimer::timeout, [=] {
        if (socket->state() == QAbstractSocket::ConnectedState) socket->write(script.second);
      });
      timer->start(20);
    });
  });
  return server;
}

constexpr std::int64_t kCeiling = 64 * 1024;  // of every download in these tests

class ReadServiceTest : public ::testing::Test, public IAsyncReadHandler {
 protected:
  ReadServiceTest() {
    service.SetHandler(this), service.SetProgressInterval(0), service.SetStallLimit(1),
        service.SetSizeCeiling(kCeiling);
  }
  void AsyncReadProgress(const AsyncProperty& p) override { seen.push_back({p, false}); }
  void AsyncReadComplete(const AsyncProperty& p) override { seen.push_back({p, true}); }
  const AsyncProperty& Last() { return seen.back().first; }
  // Fetches url until it ends, or (untilData) data arrives; false after 20 s (a safety net).
  bool Fetch(const std::string& url, bool untilData = false, std::int64_t limit = 0) {
    service.AsyncRead(url, 1, url, 16, limit);
    return QTest::qWaitFor(
        [&] { return !seen.empty() && (seen.back().second || !Last().StatusCode || (untilData && Last().BytesRead)); },
        20000);
  }

  TempDir folder;
  std::vector<std::pair<AsyncProperty, bool>> seen;  // each notification, and whether it was the completion
  QtAsyncReadService service;
};

// ---- one table: what each server, proxy or disk makes of a fetch ----

Script Answer(std::string bytes, const char* trickle = nullptr) {
  return {[=](auto&) { return bytes; }, trickle};
}
// Answers with the request's first line, and "fresh" when it told every
// cache to fetch anew.
std::string Echo(const std::string& head) {
  const bool fresh = head.find("\r\nCache-Control: no-cache\r\nPragma: no-cache\r\n") != std::string::npos;
  return Reply("200 OK", head.substr(0, head.find("\r\n")) + (fresh ? " fresh" : ""));
}
// The file redirects to /1, /N to /(N+1), up to /<last>, which answers.
template <int last>
std::string Redirects(const std::string& head) {
  const int n = std::atoi(head.c_str() + 5);
  return Reply(n < last ? "302 Found" : "200 OK", "end", "Location: /" + std::to_string(n + 1) + "\r\n");
}

const std::string kOk = "HTTP/1.1 200 OK\r\n", kChunked = kOk + "Transfer-Encoding: chunked\r\n\r\n";
const std::string kGarbled = "The server's answer could not be understood.", kInvalid = "larkspire-update.invalid";
const std::string kUnresolved = "The server name or address could not be resolved";
const std::string kKilobyte(1024, 't');
// 1000 "a"s, gzip-coded into 29 bytes.
const std::string kGzip1000(
    "\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\x4b\x4c\x1c\x05\xa3\x60\x14\x0c\x77\x00\x00\x03\xda\x38\x9a\xe8\x03\x00"
    "\x00",
    29);
// A full disk names its folder, the room the file needs and what is free.
const std::string kFull =
    "There is not enough free space in <store> to store the download: it needs 48.0 KB and <free> are free. Make "
    "room there, then click Retry.";

struct FaultRow {
  const char* name;
  Script server;
  std::string outcome;                                        // the failure's description, or "=" and the file
  std::string host = "@";                                     // "@": the server's
  std::vector<std::pair<const char*, const char*>> env = {};  // "@": the server's host
  std::int64_t limit = 0;                                     // of the file's length, 0: none
};

// clang-format off
const FaultRow kRows[] = {
    {"HttpProxy", {Echo, nullptr}, "=GET http://larkspire-update.invalid/browser/updchk.ndf HTTP/1.1 fresh", kInvalid, {{"http_proxy", "http://@"}}},
    {"UpperCaseProxy", {Echo, nullptr}, "=GET http://larkspire-update.invalid/browser/updchk.ndf HTTP/1.1 fresh", kInvalid, {{"HTTP_PROXY", "@"}}},
    {"ProxyRefusedIsNamedWithoutItsPassword", Answer(""), "The server refused the connection. The download went through the proxy http://127.0.0.1:1.", kInvalid, {{"http_proxy", "lark:secret@127.0.0.1:1"}}},
    {"NoProxyDomain", {Echo, nullptr}, kUnresolved, kInvalid, {{"http_proxy", "@"}, {"NO_PROXY", "localhost .INVALID"}}},
    {"NoProxyRange", {Echo, nullptr}, "=GET /browser/updchk.ndf HTTP/1.1 fresh", "@", {{"http_proxy", "@"}, {"no_proxy", "10.0.0.0/8,127.0.0.0/8"}}},
    {"Gzip", Answer(kOk + "Content-Encoding: gzip\r\n\r\n" + std::string("\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\xcb\x49\x2c\xca\x06\x00\x14\x95\xc8\xde\x04\x00\x00\x00", 24)), "=lark (no length)"},
    // A length beside chunked coding says nothing: the chunks do.
    {"Chunked", Answer(kOk + "Content-Length: 99\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n6;x=y\r\n, you!\r\n0\r\nX-T: t\r\n\r\n"), "=hello, you! (no length)"},
    {"InterimAnswer", Answer("HTTP/1.1 100 Continue\r\n\r\n" + Reply("200 OK", "after")), "=after"},
    {"FiveRedirects", {Redirects<5>, nullptr}, "=end"},
    {"SixRedirects", {Redirects<6>, nullptr}, "The server redirected the download too many times."},
    {"RedirectToHttps", Answer(Reply("302 Found", "", "Location: https://h/\r\n")), "The server redirected the download to an address that is not allowed: https://h/"},
    {"Status403", Answer(Reply("403 Forbidden", "<h1>403</h1>")), "The access code is invalid."},
    {"Status404", Answer(Reply("404 Not Found", "<h1>404</h1>")), "The handle is invalid."},
    {"Status500", Answer(Reply("500 Oops", "<h1>500</h1>")), "The server answered 500 Oops instead of the file."},
    {"Status304", Answer("HTTP/1.1 304 Same\r\n\r\n"), "The server answered 304 Same instead of the file."},
    {"BodyCut", Answer(kOk + "Content-Length: 9\r\n\r\nabc"), "The server closed the connection before the download was complete."},
    {"MalformedChunk", Answer(kChunked + "zz\r\nab\r\n0\r\n\r\n"), kGarbled},
    {"NotHttp", Answer("SSH-2.0-OpenSSH_9.2\r\n\r\n"), kGarbled},
    {"UnknownCoding", Answer(kOk + "Transfer-Encoding: notchunked\r\n\r\n2\r\nab\r\n0\r\n\r\n"), kGarbled},
    {"DifferingLengths", Answer(kOk + "Content-Length: 2\r\nContent-Length: 5\r\n\r\nabcde"), kGarbled},
    {"LengthNotANumber", Answer(kOk + "Content-Length: 2ab\r\n\r\nab"), kGarbled},
    {"BareLineFeeds", Answer("HTTP/1.1 200 OK\nContent-Length: 2\n\nab"), kGarbled},
    {"NothingAnswered", Answer(""), "The server closed the connection without answering."},
    {"Refused", Answer(""), "The server refused the connection.", "127.0.0.1:1"},  // where nobody listens
    {"Unresolvable", Answer(""), kUnresolved, kInvalid},
    {"Trickle", Answer(kOk + "Content-Length: 60000\r\n\r\n", "t"), "The server stopped sending data: less than 100 bytes a second arrived for 1 second."},
    {"NoAnswerAtAll", Answer("", ""), "The server stopped sending data: nothing arrived for 1 second."},
    {"OverlongHead", Answer(kOk + "X-Long: " + std::string(200000, 'h') + "\r\n\r\n"), kGarbled},
    {"FullDisk", Answer(Reply("200 OK", std::string(48 * 1024, 'p'))), kFull},
    // Decoded bytes count: a file that outgrows its bound stops, before a byte past it is stored.
    {"AnnouncedPastTheLimit", Answer(Reply("200 OK", "12345")), "The download was stopped: the file is larger than the 4 bytes it may have.", "@", {}, 4},
    {"CodedPastTheLimit", Answer(kOk + "Content-Encoding: gzip\r\n\r\n" + kGzip1000), "The download was stopped: the file is larger than the 999 bytes it may have.", "@", {}, 999},
    {"CodedPastItsLength", Answer(Reply("200 OK", kGzip1000, "Content-Encoding: gzip\r\n")), "The download was stopped: the server sent more than the 29 bytes it announced."},
    {"UnannouncedPastTheCeiling", Answer(kChunked + "10001\r\n" + std::string(kCeiling + 1, 'c') + "\r\n0\r\n\r\n"), "The download was stopped: the file is larger than 65536 bytes, the most a download may have."},
    {"LimitAboveTheCeiling", Answer(Reply("200 OK", std::string(kCeiling + 1, 'c'))), "The download was stopped: the file is larger than 65536 bytes, the most a download may have.", "@", {}, 1 << 20},
    {"WithinTheLimit", Answer(Reply("200 OK", "1234")), "=1234", "@", {}, 4},
    {"Cancelled", Answer(kOk + "Content-Length: 60000\r\n\r\n", kKilobyte.c_str()), "cancelled"}};
// clang-format on

class FaultTest : public ReadServiceTest, public ::testing::WithParamInterface<FaultRow> {};

TEST_P(FaultTest, EndsAsTheRowSays) {
  const FaultRow& row = GetParam();
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
  const std::string store = row.outcome == kFull ? folder.File("small") : folder.Native();
  if (store != folder.Native() &&
      (!std::filesystem::create_directory(store) || ::mount("tmpfs", store.c_str(), "tmpfs", 0, "size=16k") != 0))
    GTEST_SKIP() << "a full disk needs a small tmpfs, which cannot be mounted here: " << std::strerror(errno);
  const std::shared_ptr<void> unmount(nullptr, [&](void*) { ::umount2(store.c_str(), MNT_DETACH); });
  service.SetDownloadFolder(QString::fromStdString(store));

  const std::string url = at("http://" + row.host + "/browser/updchk.ndf");
  const bool cancel = row.outcome == "cancelled";  // once data arrives
  ASSERT_TRUE(Fetch(url, cancel, row.limit));
  if (cancel) service.CancelAsyncRead(url);
  const std::size_t delivered = seen.size();
  QTest::qWait(20);
  std::string outcome = cancel ? "cancelled" : Last().ErrorDescription, stages;  // stages: "=" the completion
  if (!cancel && !Last().ErrorRoute.empty()) outcome += " " + Last().ErrorRoute;
  std::int32_t read = 0, max = 0;
  for (const auto& [p, complete] : seen) {
    if (p.StatusCode != AsyncStatus::DownloadingData) stages += std::to_string(p.StatusCode) + (complete ? "=" : " ");
    if (complete || p.StatusCode == AsyncStatus::Error) continue;  // figures of their own
    if (p.StatusCode == AsyncStatus::BeginDownloadData) max = p.BytesMax;
    // The length is known from the answer on, never before.
    EXPECT_TRUE(p.BytesRead >= std::exchange(read, p.BytesRead) &&
                p.BytesMax == (p.StatusCode >= 4 && p.StatusCode <= 6 ? max : 0))
        << p.StatusCode;
  }
  if (!cancel && seen.back().second) {  // the user's own file, in the folder, through each stage in order
    const std::filesystem::path file = PosixFileSystem::ToNative(AsyncValue(Last()));
    EXPECT_TRUE(file.parent_path() == store &&
                std::filesystem::status(file).permissions() == std::filesystem::perms(0600));
    EXPECT_TRUE(std::regex_match(stages, std::regex("1 (2 11 )+4 6 6="))) << stages;
    outcome = "=" + ReadFileBytes(file) + (max ? "" : " (no length)");
  }
  if (const std::size_t p = outcome.find(store); row.outcome == kFull && p != std::string::npos)
    outcome = std::regex_replace(outcome.replace(p, store.size(), "<store>"), std::regex("and [0-9.]+ [a-zA-Z]+ are"),
                                 "and <free> are");
  EXPECT_EQ(outcome + (seen.size() > delivered ? " and more after the end" : ""), row.outcome);
  if (row.outcome.starts_with("=")) return;
  EXPECT_THROW(cancel ? service.CancelAsyncRead(url) : (void)AsyncValue(Last()), RuntimeError);
  EXPECT_TRUE(std::filesystem::is_empty(store)) << "a file was left behind";
}

INSTANTIATE_TEST_SUITE_P(Table, FaultTest, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });
}  // namespace
