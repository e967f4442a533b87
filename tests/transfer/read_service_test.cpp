// The read service against real servers on loopback: nginx for the road
// that works, and one table of faulty servers, proxies and a full disk for
// every other road. Every fetch stores into a private folder, so the tests
// see every file the service leaves behind.
#include <sys/mount.h>
#include <sys/stat.h>

#include <memory>

#include "fakes/fake_platform.hpp"
#include "fakes/nginx_server.hpp"
#include "fakes/scoped_env.hpp"
#include "fault_server.hpp"
#include "platform/qt/qt_async_read.hpp"
#include "qt_support.hpp"
#include "support/runtime_error.hpp"

namespace {
using Codes = std::vector<std::int32_t>;
using Script = FaultServer::Script;
constexpr std::int32_t kComplete = -1;  // a completion in RecordingHandler::Codes

class ReadServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    service.SetHandler(&handler);
    service.SetDownloadFolder(QString::fromStdString(folder.Native()));
  }
  // Fetches url under itself as the key until the fetch ends.
  void Fetch(const std::string& url) {
    service.AsyncRead(url, 1, url, 16);
    ASSERT_TRUE(RunUntil([&] { return handler.Ended(); })) << "the fetch never ended";
  }

  TempDir folder;
  RecordingHandler handler;
  QtAsyncReadService service;
};

TEST_F(ReadServiceTest, FileFromNginxArrivesWholeWithItsStagesAndFigures) {
  TempDir root;
  std::string body(3 << 20, '\0');
  for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>((i * 131) >> 7);
  WriteFileBytes(root.File("setup.bin"), body);
  NginxServer nginx(root.Native());
  service.SetProgressInterval(0);
  Fetch("http://" + nginx.Host() + "/setup.bin");

  ASSERT_TRUE(handler.Last().complete) << handler.Last().prop.ErrorDescription;
  const std::string native = PosixFileSystem::ToNative(handler.Last().prop.Value());
  EXPECT_EQ(native.rfind(folder.Native() + "/", 0), 0u) << native;
  EXPECT_TRUE(ReadFileBytes(native) == body);
  struct stat st {};
  ASSERT_EQ(::stat(native.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  Codes stages;
  std::int32_t read = 0;
  for (const Notification& n : handler.seen) {
    if (n.prop.StatusCode != AsyncStatus::DownloadingData || n.complete)
      stages.push_back(n.complete ? kComplete : n.prop.StatusCode);
    EXPECT_GE(n.prop.BytesRead, read);
    read = n.prop.BytesRead;
    // The length is known from the answer on, never before.
    const bool answered = n.complete || (n.prop.StatusCode >= AsyncStatus::BeginDownloadData &&
                                         n.prop.StatusCode <= AsyncStatus::EndDownloadData);
    EXPECT_EQ(n.prop.BytesMax, answered ? 3 << 20 : 0) << "status " << n.prop.StatusCode;
  }
  EXPECT_EQ(read, 3 << 20);
  EXPECT_EQ(stages, (Codes{AsyncStatus::FindingResource, AsyncStatus::Connecting, AsyncStatus::SendingRequest,
                           AsyncStatus::BeginDownloadData, AsyncStatus::EndDownloadData, kComplete}));
}

TEST_F(ReadServiceTest, CancelDeliversNothingMoreAndLeavesNoFile) {
  std::atomic<bool> clientGone{false};
  FaultServer server([&](FaultServer::Connection& c) {
    c.Send("HTTP/1.1 200 OK\r\nContent-Length: 1048576\r\n\r\n");
    while (!c.Stopping() && c.Send(std::string(1024, 't'))) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    clientGone = !c.Stopping();
  });
  const std::string url = server.Url("/setup.msi");
  service.SetProgressInterval(0);
  service.AsyncRead(url, 1, url, 16);
  ASSERT_TRUE(RunUntil([&] { return !handler.seen.empty() && handler.Last().prop.BytesRead > 0; }));
  service.CancelAsyncRead(url);
  const std::size_t seen = handler.seen.size();
  EXPECT_TRUE(RunUntil([&] { return clientGone.load(); }));
  RunPendingEvents();
  EXPECT_EQ(handler.seen.size(), seen);
  EXPECT_EQ(FilesIn(folder.Native()), std::vector<std::string>{});
  EXPECT_THROW(service.CancelAsyncRead(url), RuntimeError);
}

// ---- one table: what each server, proxy or disk makes of a fetch ----

// Sends bytes and lets the connection close.
Script Answer(std::string bytes) {
  return [bytes](FaultServer::Connection& c) { c.Send(bytes); };
}
// Answers 200 with body when the request head begins with line and holds
// header, else 400.
Script Expect(std::string line, std::string header, std::string body) {
  return [=](FaultServer::Connection& c) {
    const bool ok =
        c.Head().rfind(line + "\r\n", 0) == 0 && c.Head().find("\r\n" + header + "\r\n") != std::string::npos;
    c.Send(FaultServer::Response(ok ? "200 OK" : "400 Bad Request", ok ? body : c.Head()));
  };
}
// Sends head, then piece every few milliseconds until the client goes.
Script Endless(std::string head, std::string piece) {
  return [=](FaultServer::Connection& c) {
    c.Send(head);
    while (!c.Stopping() && c.Send(piece)) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  };
}
// /rN redirects to /r(N+1) up to /r<last>, which is the file.
Script Redirects(int last) {
  return [last](FaultServer::Connection& c) {
    const int n = std::stoi(c.Path().substr(2));
    c.Send(n == last ? FaultServer::Response("200 OK", "end of the chain")
                     : FaultServer::Response("302 Found", "", "Location: /r" + std::to_string(n + 1) + "\r\n"));
  };
}

const std::string kGzip(
    "\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\xcb\x48\xcd\xc9\xc9\xd7\x51\xc8\x49\x2c\xca\x2e\x2e\xc8\x2c\x4a\xe5"
    "\xca\x20\x5d\x00\x00\x32\x2b\x8d\x68\x44\x00\x00\x00",
    40);  // "hello, larkspire\n" four times
const std::string kOk = "HTTP/1.1 200 OK\r\n";
const std::string kChunked = kOk + "Transfer-Encoding: chunked\r\n\r\n";
const char* const kGarbled = "The server's answer could not be understood.";
const char* const kCut = "The server closed the connection before the download was complete.";
const char* const kTrickle = "The server stopped sending data: less than 100 bytes a second arrived for 1 second.";
const char* const kSilence = "The server stopped sending data: nothing arrived for 1 second.";
const char* const kUnresolved = "The server name or address could not be resolved";

struct FaultRow {
  const char* name;
  Script server;
  std::string url;      // "@SERVER@" is the server's host, "@FREE@" a port nobody listens on
  std::string outcome;  // the failure's description, or the file when it starts with "="
  std::vector<std::pair<const char*, const char*>> env = {};  // "@SERVER@" as in url
  bool smallDisk = false;
};
void PrintTo(const FaultRow& r, std::ostream* os) { *os << r.name; }

// A small file system of its own for the fetch's file, where the machine
// lets the test mount one; unmounted at the end.
struct SmallFileSystem {
  explicit SmallFileSystem(const std::string& where) : where(where) {
    ::mkdir(where.c_str(), 0700);
    mounted = ::mount("tmpfs", where.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=64k,mode=0700") == 0;
  }
  ~SmallFileSystem() {
    if (mounted) ::umount2(where.c_str(), MNT_DETACH);
  }
  std::string where;
  bool mounted;
};

class FaultTest : public ReadServiceTest, public ::testing::WithParamInterface<FaultRow> {};

TEST_P(FaultTest, EndsAsTheRowSays) {
  const FaultRow& row = GetParam();
  FaultServer server(row.server ? row.server : Answer(""));
  const auto fill = [&](std::string s) {
    for (const auto& [mark, value] : {std::pair<std::string, std::string>{"@SERVER@", server.Host()},
                                      {"@FREE@", std::to_string(FreeLoopbackPort())}})
      if (const std::size_t at = s.find(mark); at != std::string::npos) s.replace(at, mark.size(), value);
    return s;
  };
  std::vector<std::unique_ptr<ScopedEnv>> env;
  for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"})
    env.push_back(std::make_unique<ScopedEnv>(name, nullptr));
  for (const auto& [name, value] : row.env) env.push_back(std::make_unique<ScopedEnv>(name, fill(value).c_str()));
  std::string store = folder.Native();
  std::unique_ptr<SmallFileSystem> small;
  if (row.smallDisk) {
    small = std::make_unique<SmallFileSystem>(folder.File("small"));
    if (!small->mounted) GTEST_SKIP() << "no small file system can be mounted here";
    store = small->where;
    service.SetDownloadFolder(QString::fromStdString(store));
  }
  service.SetStallLimit(1);

  Fetch(fill(row.url));
  const Notification& last = handler.Last();
  if (row.outcome.rfind("=", 0) == 0) {
    ASSERT_TRUE(last.complete) << last.prop.ErrorDescription;
    EXPECT_EQ(ReadFileBytes(PosixFileSystem::ToNative(last.prop.Value())), row.outcome.substr(1));
    return;
  }
  EXPECT_EQ(last.prop.StatusCode, AsyncStatus::Error);
  EXPECT_EQ(last.prop.ErrorDescription, row.outcome);
  EXPECT_THROW(last.prop.Value(), RuntimeError);
  for (const Notification& n : handler.seen) EXPECT_FALSE(n.complete);
  RunPendingEvents();
  EXPECT_EQ(handler.Last().prop.StatusCode, AsyncStatus::Error) << "a notification came after the failure";
  EXPECT_EQ(FilesIn(store), std::vector<std::string>{});
}

const std::string kPage = "http://@SERVER@/browser/updchk.ndf";
const std::string kThroughProxy = "GET http://larkspire-update.invalid/browser/updchk.ndf HTTP/1.1";

INSTANTIATE_TEST_SUITE_P(
    Table, FaultTest,
    ::testing::Values(
        FaultRow{"AsksForAFreshCopy", Expect("GET /browser/updchk.ndf HTTP/1.1", "Cache-Control: no-cache", "fresh"),
                 kPage, "=fresh"},
        FaultRow{"SaysNoCacheToOldCaches", Expect("GET /browser/updchk.ndf HTTP/1.1", "Pragma: no-cache", "fresh"),
                 kPage, "=fresh"},
        FaultRow{"GoesThroughHttpProxy",
                 Expect(kThroughProxy, "Host: larkspire-update.invalid", "proxied"),
                 "http://larkspire-update.invalid/browser/updchk.ndf",
                 "=proxied",
                 {{"http_proxy", "http://@SERVER@"}}},
        FaultRow{"GoesThroughUpperCaseProxy",
                 Expect(kThroughProxy, "Pragma: no-cache", "proxied"),
                 "http://larkspire-update.invalid/browser/updchk.ndf",
                 "=proxied",
                 {{"HTTP_PROXY", "@SERVER@"}}},
        FaultRow{"GoesThroughAllProxy",
                 Expect(kThroughProxy, "Pragma: no-cache", "proxied"),
                 "http://larkspire-update.invalid/browser/updchk.ndf",
                 "=proxied",
                 {{"all_proxy", "@SERVER@"}}},
        FaultRow{"NoProxyGoesDirect",
                 nullptr,
                 "http://larkspire-update.invalid/browser/updchk.ndf",
                 kUnresolved,
                 {{"http_proxy", "@SERVER@"}, {"no_proxy", "localhost,.invalid"}}},
        FaultRow{"GzipBodyIsStoredDecoded",
                 Answer(kOk + "Content-Encoding: gzip\r\nContent-Length: 40\r\n\r\n" + kGzip), kPage,
                 "=hello, larkspire\nhello, larkspire\nhello, larkspire\nhello, larkspire\n"},
        FaultRow{"BodyWithoutALength", Answer(kOk + "\r\nuntil the end"), kPage, "=until the end"},
        FaultRow{"ChunkedBody", Answer(kChunked + "5\r\nhello\r\n6;x=y\r\n, you!\r\n0\r\nX-T: t\r\n\r\n"), kPage,
                 "=hello, you!"},
        FaultRow{"InterimAnswer", Answer("HTTP/1.1 100 Continue\r\n\r\n" + FaultServer::Response("200 OK", "after")),
                 kPage, "=after"},
        FaultRow{"FiveRedirects", Redirects(5), "http://@SERVER@/r0", "=end of the chain"},
        FaultRow{"SixRedirects", Redirects(6), "http://@SERVER@/r0",
                 "The server redirected the download too many times."},
        FaultRow{"RedirectToSecureAddress",
                 Answer(FaultServer::Response("302 Found", "", "Location: https://127.0.0.1:1/setup.msi\r\n")), kPage,
                 "The server redirected the download to an address that is not allowed: https://127.0.0.1:1/setup.msi"},
        FaultRow{"Status401", Answer(FaultServer::Response("401 Unauthorized", "<h1>401</h1>")), kPage,
                 "The access code is invalid."},
        FaultRow{"Status403", Answer(FaultServer::Response("403 Forbidden", "<h1>403</h1>")), kPage,
                 "The access code is invalid."},
        FaultRow{"Status404", Answer(FaultServer::Response("404 Not Found", "<h1>404</h1>")), kPage,
                 "The handle is invalid."},
        FaultRow{"Status410", Answer(FaultServer::Response("410 Gone", "<h1>410</h1>")), kPage,
                 "The handle is invalid."},
        FaultRow{"Status500", Answer(FaultServer::Response("500 Internal Server Error", "<h1>500</h1>")), kPage,
                 "The server answered 500 Internal Server Error instead of the file."},
        FaultRow{"Status304", Answer("HTTP/1.1 304 Not Modified\r\n\r\n"), kPage,
                 "The server answered 304 Not Modified instead of the file."},
        FaultRow{"BodyCutShort", Answer(kOk + "Content-Length: 1000\r\n\r\n" + std::string(400, 'x')), kPage, kCut},
        FaultRow{"ChunkedBodyCutShort", Answer(kChunked + "100\r\n" + std::string(50, 'x')), kPage, kCut},
        FaultRow{"MalformedChunk", Answer(kChunked + "zz\r\nab\r\n0\r\n\r\n"), kPage, kGarbled},
        FaultRow{"ChunkLongerThanItsSize", Answer(kChunked + "2\r\nabc\r\n0\r\n\r\n"), kPage, kGarbled},
        FaultRow{"FourDigitStatus", Answer("HTTP/1.1 2000 OK\r\nContent-Length: 2\r\n\r\nab"), kPage, kGarbled},
        FaultRow{"NotHttp", Answer("SSH-2.0-OpenSSH_9.2\r\n\r\n"), kPage, kGarbled},
        FaultRow{"UnknownTransferCoding", Answer(kOk + "Transfer-Encoding: notchunked\r\n\r\n2\r\nab\r\n0\r\n\r\n"),
                 kPage, kGarbled},
        FaultRow{"DifferingLengths", Answer(kOk + "Content-Length: 2\r\nContent-Length: 5\r\n\r\nabcde"), kPage,
                 kGarbled},
        FaultRow{"LengthNotANumber", Answer(kOk + "Content-Length: 2ab\r\n\r\nab"), kPage, kGarbled},
        FaultRow{"BareLineFeeds", Answer("HTTP/1.1 200 OK\nContent-Length: 2\n\nab"), kPage, kGarbled},
        FaultRow{"NothingAnswered", nullptr, kPage, "The server closed the connection without answering."},
        FaultRow{"RefusedPort", nullptr, "http://127.0.0.1:@FREE@/browser/updchk.ndf",
                 "The server refused the connection."},
        FaultRow{"UnresolvableName", nullptr, "http://larkspire-update.invalid/browser/updchk.ndf", kUnresolved},
        FaultRow{"Trickle", Endless(kOk + "Content-Length: 100000\r\n\r\n", "t"), kPage, kTrickle},
        FaultRow{"SilenceInTheBody", Endless(kOk + "Content-Length: 100000\r\n\r\nabc", ""), kPage, kSilence},
        FaultRow{"NoAnswerAtAll", Endless("", ""), kPage, kSilence},
        FaultRow{"EndlessInterimAnswers", Endless("", "HTTP/1.1 100 Continue\r\n\r\n"), kPage, kTrickle},
        FaultRow{"EndlessTrailer", Endless(kChunked + "2\r\nab\r\n0\r\n", "X-Trailer: more\r\n"), kPage, kTrickle},
        FaultRow{"FullDisk",
                 Answer(FaultServer::Response("200 OK", std::string(1 << 20, 'p'))),
                 kPage,
                 "Not enough storage is available to process this command.",
                 {},
                 true}),
    [](const auto& info) { return std::string(info.param.name); });
}  // namespace
