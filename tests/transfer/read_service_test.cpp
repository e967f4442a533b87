// The read service against real servers on loopback: nginx for the road
// that works, and one table of faulty servers, proxies and a full disk for
// every other road. Every fetch stores into a private folder, so the tests
// see every file the service leaves behind.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <QTest>
#include <cstring>
#include <deque>
#include <regex>
#include <thread>

#include "fakes/fake_platform.hpp"
#include "fakes/nginx_server.hpp"
#include "fakes/scoped_env.hpp"
#include "platform/qt/qt_async_read.hpp"

namespace {
bool Send(int fd, std::string_view bytes) {  // false once the client has gone
  for (ssize_t n; !bytes.empty(); bytes.remove_prefix(static_cast<std::size_t>(n)))
    if ((n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL)) <= 0) return false;
  return true;
}
std::string Reply(const std::string& status, const std::string& body, const std::string& headers = "") {
  return "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" + headers + "\r\n" + body;
}

// A small HTTP server on 127.0.0.1 that answers each connection, one at a
// time, with a script given the socket and the request's head.
using Script = std::function<void(int fd, const std::string& head)>;
class FaultServer {
 public:
  explicit FaultServer(Script script) {
    sockaddr_in a{.sin_family = AF_INET, .sin_port = 0, .sin_addr = {htonl(INADDR_LOOPBACK)}, .sin_zero = {}};
    socklen_t size = sizeof a;
    ::bind(listen_, reinterpret_cast<sockaddr*>(&a), size), ::listen(listen_, 8);
    port_ = ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &size) ? 0 : ntohs(a.sin_port);  // 0: refused
    thread_ = std::thread([this, script] {
      for (int fd; (fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0; ::close(fd), current_ = -1) {
        current_ = fd;
        std::string head;
        char b[4096];
        for (ssize_t n = 1; n > 0 && head.find("\r\n\r\n") == std::string::npos;)
          if ((n = ::recv(fd, b, sizeof b, 0)) > 0) head.append(b, static_cast<std::size_t>(n));
        if (head.find("\r\n\r\n") != std::string::npos) script(fd, head);
        // Ends the answer, and lets the client close first so no reset loses it.
        for (::shutdown(fd, SHUT_WR); ::recv(fd, b, sizeof b, 0) > 0;) continue;
      }
    });
  }
  ~FaultServer() {  // wakes the server wherever it waits
    ::shutdown(listen_, SHUT_RDWR);
    if (const int fd = current_; fd >= 0) ::shutdown(fd, SHUT_RDWR);
    thread_.join(), ::close(listen_);
  }
  std::string Host() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  int listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0), port_ = 0;
  std::atomic<int> current_{-1};
  std::thread thread_;
};

class ReadServiceTest : public ::testing::Test, public IAsyncReadHandler {
 protected:
  ReadServiceTest() { service.SetHandler(this), service.SetDownloadFolder(QString::fromStdString(folder.Native())); }
  void AsyncReadProgress(const AsyncProperty& p) override { seen.push_back({p, false}); }
  void AsyncReadComplete(const AsyncProperty& p) override { seen.push_back({p, true}); }
  const AsyncProperty& Last() { return seen.back().first; }
  // Fetches url until it ends, or (untilData) data arrives; false after 20 s (a safety net).
  bool Fetch(const std::string& url, bool untilData = false) {
    service.AsyncRead(url, 1, url, 16);
    return QTest::qWaitFor(
        [&] { return !seen.empty() && (seen.back().second || !Last().StatusCode || (untilData && Last().BytesRead)); },
        20000);
  }

  TempDir folder;
  std::vector<std::pair<AsyncProperty, bool>> seen;  // each notification, and whether it was the completion
  QtAsyncReadService service;
};

TEST_F(ReadServiceTest, FileFromNginxArrivesWholeWithItsStagesAndFigures) {
  TempDir root;
  std::string body(3 << 20, '\0');
  for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>((i * 131) >> 7);
  WriteFileBytes(root.File("setup.bin"), body);
  NginxServer nginx(root.Native());
  service.SetProgressInterval(0);
  ASSERT_TRUE(Fetch("http://" + nginx.Host() + "/setup.bin") && seen.back().second) << Last().ErrorDescription;
  const std::filesystem::path file = PosixFileSystem::ToNative(Last().Value());
  EXPECT_EQ(file.parent_path(), folder.Native());
  EXPECT_TRUE(ReadFileBytes(file) == body);
  EXPECT_EQ(std::filesystem::status(file).permissions(), std::filesystem::perms(0600));
  std::vector<std::int32_t> stages;  // -1: the completion
  for (std::int32_t read = 0; const auto& [p, complete] : seen) {
    if (complete || p.StatusCode != AsyncStatus::DownloadingData) stages.push_back(complete ? -1 : p.StatusCode);
    EXPECT_GE(p.BytesRead, std::exchange(read, p.BytesRead));
    // The length is known from the answer on, never before.
    EXPECT_EQ(p.BytesMax, complete || (p.StatusCode >= 4 && p.StatusCode <= 6) ? 3 << 20 : 0) << p.StatusCode;
  }
  EXPECT_EQ(Last().BytesRead, 3 << 20);
  EXPECT_EQ(stages, (std::vector<std::int32_t>{1, 2, 11, 4, 6, -1}));
}

// ---- one table: what each server, proxy or disk makes of a fetch ----

const auto Answer = [](std::string bytes) -> Script { return [=](int fd, auto&) { Send(fd, bytes); }; };
// Answers whether the request named the whole address, as to a proxy, and
// whether it told every cache to fetch anew.
Script Echo() {
  return [](int fd, const std::string& head) {
    const bool fresh = head.find("\r\nCache-Control: no-cache\r\nPragma: no-cache\r\n") != std::string::npos;
    Send(fd, Reply("200 OK", (head.starts_with("GET http://") ? "proxied" : head.substr(0, head.find("\r\n"))) +
                                 (fresh ? " fresh" : "")));
  };
}
// Sends head, then piece every 20 ms until the client goes.
Script Endless(std::string head, std::string piece) {
  return [=](int fd, const std::string&) {
    std::string next = head;
    for (char c; Send(fd, next + piece) && ::recv(fd, &c, 1, MSG_PEEK | MSG_DONTWAIT) != 0; next.clear())
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
  };
}
// The file redirects to /1, /N to /(N+1), up to /<last>, which answers.
Script Redirects(int last) {
  return [last](int fd, const std::string& head) {
    const int n = std::atoi(head.c_str() + 5);
    Send(fd, Reply(n < last ? "302 Found" : "200 OK", "end", "Location: /" + std::to_string(n + 1) + "\r\n"));
  };
}

const std::string kGzip(
    "\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\xcb\x49\x2c\xca\x2e\x2e\xc8\x2c\x4a\xe5\xca\xc1\xc2\x02\x00\x60\x8e\xe8"
    "\x5d\x1e\x00\x00\x00",
    33);  // "larkspire\n" three times
const std::string kOk = "HTTP/1.1 200 OK\r\n", kChunked = kOk + "Transfer-Encoding: chunked\r\n\r\n";
const std::string kGarbled = "The server's answer could not be understood.", kInvalid = "larkspire-update.invalid";
const std::string kUnresolved = "The server name or address could not be resolved";
const std::string kSilence = "The server stopped sending data: nothing arrived for 1 second.";
const std::string kFull = "Not enough storage is available to process this command.";

struct FaultRow {
  const char* name;
  Script server;
  std::string outcome;                                        // the failure's description, or "=" and the file
  std::string host = "";                                      // "": the server's; "-": a port nobody listens on
  std::vector<std::pair<const char*, const char*>> env = {};  // "@": the server's host
};

// clang-format off
const FaultRow kRows[] = {
    {"HttpProxy", Echo(), "=proxied fresh", kInvalid, {{"http_proxy", "http://@"}}},
    {"UpperCaseProxy", Echo(), "=proxied fresh", kInvalid, {{"HTTP_PROXY", "@"}}},
    {"NoProxyDomain", Echo(), kUnresolved, kInvalid, {{"http_proxy", "@"}, {"NO_PROXY", "localhost .INVALID"}}},
    {"NoProxyRange", Echo(), "=GET /browser/updchk.ndf HTTP/1.1 fresh", "", {{"http_proxy", "@"}, {"no_proxy", "10.0.0.0/8,127.0.0.0/8"}}},
    {"Gzip", Answer(kOk + "Content-Encoding: gzip\r\n\r\n" + kGzip), "=larkspire\nlarkspire\nlarkspire\n"},
    {"Chunked", Answer(kChunked + "5\r\nhello\r\n6;x=y\r\n, you!\r\n0\r\nX-T: t\r\n\r\n"), "=hello, you!"},
    {"InterimAnswer", Answer("HTTP/1.1 100 Continue\r\n\r\n" + Reply("200 OK", "after")), "=after"},
    {"FiveRedirects", Redirects(5), "=end"},
    {"SixRedirects", Redirects(6), "The server redirected the download too many times."},
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
    {"Refused", Answer(""), "The server refused the connection.", "-"},
    {"Unresolvable", Answer(""), kUnresolved, kInvalid},
    {"Trickle", Endless(kOk + "Content-Length: 100000\r\n\r\n", "t"), "The server stopped sending data: less than 100 bytes a second arrived for 1 second."},
    {"SilenceInTheBody", Endless(kOk + "Content-Length: 100000\r\n\r\nabc", ""), kSilence},
    {"NoAnswerAtAll", Endless("", ""), kSilence},
    {"FullDisk", Answer(Reply("200 OK", std::string(1 << 20, 'p'))), kFull},
    {"Cancelled", Endless(kOk + "Content-Length: 1048576\r\n\r\n", std::string(1024, 't')), "cancelled"}};
// clang-format on

class FaultTest : public ReadServiceTest, public ::testing::WithParamInterface<FaultRow> {};

TEST_P(FaultTest, EndsAsTheRowSays) {
  const FaultRow& row = GetParam();
  FaultServer server(row.server);
  std::deque<ScopedEnv> env;
  for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"})
    env.emplace_back(name, nullptr);
  for (auto [name, value] : row.env)
    env.emplace_back(name, std::regex_replace(value, std::regex("@"), server.Host()).c_str());
  // A full disk: a small file system of its own (unmounting the folder of
  // the other rows, which is no mount point, does nothing).
  const std::string store = row.outcome == kFull ? folder.File("small") : folder.Native();
  if (store != folder.Native() &&
      (!std::filesystem::create_directory(store) || ::mount("tmpfs", store.c_str(), "tmpfs", 0, "size=64k") != 0))
    GTEST_SKIP() << "a full disk needs a small tmpfs, which cannot be mounted here: " << std::strerror(errno);
  const std::shared_ptr<void> unmount(nullptr, [&](void*) { ::umount2(store.c_str(), MNT_DETACH); });
  service.SetDownloadFolder(QString::fromStdString(store)), service.SetStallLimit(1);

  const std::string host = row.host == "-" ? "127.0.0.1:" + std::to_string(FreeLoopbackPort()) : row.host;
  const std::string url = "http://" + (host.empty() ? server.Host() : host) + "/browser/updchk.ndf";
  const bool cancel = row.outcome == "cancelled";  // once data arrives
  ASSERT_TRUE(Fetch(url, cancel));
  if (cancel) service.CancelAsyncRead(url);
  const std::size_t delivered = seen.size();
  QTest::qWait(20);
  EXPECT_EQ(seen.size(), delivered) << "a notification came after the end";
  EXPECT_EQ(cancel               ? "cancelled"
            : seen.back().second ? "=" + ReadFileBytes(PosixFileSystem::ToNative(Last().Value()))
                                 : Last().ErrorDescription,
            row.outcome);
  if (row.outcome.starts_with("=")) return;
  EXPECT_THROW(cancel ? service.CancelAsyncRead(url) : (void)Last().Value(), RuntimeError);
  EXPECT_TRUE(std::filesystem::is_empty(store)) << "a file was left behind";
}

INSTANTIATE_TEST_SUITE_P(Table, FaultTest, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });
}  // namespace
