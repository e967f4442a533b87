// The read service over Qt Network against real servers on loopback: nginx
// for normal files, and a fault-injecting server for everything that goes
// wrong. Every fetch stores into a private folder, so the tests see every
// file the service leaves behind.
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>

#include "fakes/fake_platform.hpp"
#include "fakes/nginx_server.hpp"
#include "fault_server.hpp"
#include "platform/qt/qt_async_read.hpp"
#include "qt_support.hpp"
#include "support/runtime_error.hpp"

namespace {
using Codes = std::vector<std::int32_t>;
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

  // The fetch ended in a failure with that description, no completion came,
  // nothing came after the failure and no file is left behind.
  void ExpectFailure(const std::string& description) {
    ASSERT_FALSE(handler.seen.empty());
    const Notification& last = handler.Last();
    EXPECT_FALSE(last.complete);
    EXPECT_EQ(last.prop.StatusCode, AsyncStatus::Error);
    EXPECT_TRUE(last.prop.Failed);
    EXPECT_EQ(last.prop.ErrorDescription, description);
    EXPECT_NE(last.prop.ErrorNumber, 0);
    try {
      last.prop.Value();
      ADD_FAILURE() << "reading the value of a failed fetch raised nothing";
    } catch (const RuntimeError& e) {
      EXPECT_EQ(e.Description(), description);
    }
    for (const Notification& n : handler.seen) EXPECT_FALSE(n.complete);
    RunPendingEvents();
    EXPECT_EQ(handler.Last().prop.StatusCode, AsyncStatus::Error) << "a notification came after the failure";
    EXPECT_EQ(FilesIn(folder.Native()), std::vector<std::string>{});
  }

  // The fetch completed; returns the local file's bytes.
  std::string Completed() {
    EXPECT_FALSE(handler.seen.empty());
    if (handler.seen.empty()) return "";
    const Notification& last = handler.Last();
    EXPECT_TRUE(last.complete) << last.prop.ErrorDescription;
    if (!last.complete) return "";
    EXPECT_EQ(last.prop.AsyncType, 1);
    const std::string native = PosixFileSystem::ToNative(last.prop.Value());
    EXPECT_EQ(native.rfind(folder.Native() + "/", 0), 0u) << native;
    return ReadFileBytes(native);
  }

  static Codes WithoutData(const Codes& codes) {
    Codes out;
    std::copy_if(codes.begin(), codes.end(), std::back_inserter(out),
                 [](std::int32_t c) { return c != AsyncStatus::DownloadingData; });
    return out;
  }

  TempDir folder;
  RecordingHandler handler;
  QtAsyncReadService service;
};

// ---- normal files from nginx ----

class NginxReadTest : public ReadServiceTest {
 protected:
  static void SetUpTestSuite() {
    root = new TempDir;
    WriteFileBytes(root->File("hello.txt"), "hello, larkspire\n");
    std::string medium(3 << 20, '\0');
    for (std::size_t i = 0; i < medium.size(); ++i) medium[i] = static_cast<char>((i * 131) >> 7);
    WriteFileBytes(root->File("medium.bin"), medium);
    nginx = new NginxServer(root->Native());
  }
  static void TearDownTestSuite() {
    delete nginx;
    delete root;
  }
  static std::string Url(const std::string& path) { return "http://" + nginx->Host() + path; }

  static TempDir* root;
  static NginxServer* nginx;
};
TempDir* NginxReadTest::root = nullptr;
NginxServer* NginxReadTest::nginx = nullptr;

TEST_F(NginxReadTest, SmallFileArrivesWholeWithItsStagesInOrder) {
  Fetch(Url("/hello.txt"));
  EXPECT_EQ(Completed(), "hello, larkspire\n");
  EXPECT_EQ(WithoutData(handler.Codes()),
            (Codes{AsyncStatus::FindingResource, AsyncStatus::Connecting, AsyncStatus::SendingRequest,
                   AsyncStatus::BeginDownloadData, AsyncStatus::EndDownloadData, kComplete}));
  for (const Notification& n : handler.seen) EXPECT_EQ(n.prop.PropertyName, Url("/hello.txt"));
  // Before the answer nothing is known; from then on the announced length.
  EXPECT_EQ(handler.seen[0].prop.BytesMax, 0);
  const Notification& end = handler.seen[handler.seen.size() - 2];
  EXPECT_EQ(end.prop.BytesRead, 17);
  EXPECT_EQ(end.prop.BytesMax, 17);
  EXPECT_EQ(handler.Last().prop.BytesRead, 17);
}

TEST_F(NginxReadTest, TheFileIsTheReceiversPrivateOne) {
  Fetch(Url("/hello.txt"));
  const std::string native = PosixFileSystem::ToNative(handler.Last().prop.Value());
  struct stat st {};
  ASSERT_EQ(::stat(native.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  // A second fetch of the same address gets a file of its own.
  handler.seen.clear();
  Fetch(Url("/hello.txt"));
  EXPECT_NE(PosixFileSystem::ToNative(handler.Last().prop.Value()), native);
  EXPECT_EQ(FilesIn(folder.Native()).size(), 2u);
}

TEST_F(NginxReadTest, FiguresGrowUpToTheAnnouncedLength) {
  Fetch(Url("/medium.bin"));
  const std::string bytes = Completed();
  ASSERT_EQ(bytes.size(), 3u << 20);
  EXPECT_EQ(bytes, ReadFileBytes(root->File("medium.bin")));
  std::int32_t previous = 0;
  for (const Notification& n : handler.seen) {
    if (n.complete) continue;
    EXPECT_GE(n.prop.BytesRead, previous);
    previous = n.prop.BytesRead;
    const std::int32_t code = n.prop.StatusCode;
    if (code == 4 || code == 5 || code == 6) {
      EXPECT_EQ(n.prop.BytesMax, 3 << 20);
    }
  }
  EXPECT_EQ(previous, 3 << 20);
}

TEST_F(NginxReadTest, WithAnIntervalLongerThanTheFetchOnlyTheStagesAreReported) {
  service.SetProgressInterval(3600 * 1000);
  Fetch(Url("/medium.bin"));
  EXPECT_EQ(Completed().size(), 3u << 20);
  EXPECT_EQ(handler.Codes(), (Codes{AsyncStatus::FindingResource, AsyncStatus::Connecting, AsyncStatus::SendingRequest,
                                    AsyncStatus::BeginDownloadData, AsyncStatus::EndDownloadData, kComplete}));
}

TEST_F(NginxReadTest, SeveralHundredMegabytesArriveWhole) {
  // A sparse file with marks at its start, middle and end.
  constexpr off_t kSize = 300LL << 20;
  const std::string path = root->File("large.bin");
  {
    const int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, kSize), 0);
    for (off_t at : {off_t{0}, kSize / 2 + 12345, kSize - 16}) ASSERT_EQ(::pwrite(fd, "larkspire-marker", 16, at), 16);
    ::close(fd);
  }
  const std::string url = Url("/large.bin");
  service.AsyncRead(url, 1, url, 16);
  ASSERT_TRUE(RunUntil([&] { return handler.Ended(); }, 120000));
  std::remove(path.c_str());
  ASSERT_TRUE(handler.Last().complete) << handler.Last().prop.ErrorDescription;
  const std::string native = PosixFileSystem::ToNative(handler.Last().prop.Value());
  struct stat st {};
  ASSERT_EQ(::stat(native.c_str(), &st), 0);
  EXPECT_EQ(st.st_size, kSize);
  const int fd = ::open(native.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  for (off_t at : {off_t{0}, kSize / 2 + 12345, kSize - 16}) {
    char mark[17] = {};
    EXPECT_EQ(::pread(fd, mark, 16, at), 16);
    EXPECT_STREQ(mark, "larkspire-marker") << "at " << at;
  }
  char zeros[8] = {1, 1, 1, 1, 1, 1, 1, 1};
  EXPECT_EQ(::pread(fd, zeros, 8, kSize / 4), 8);
  EXPECT_EQ(std::string(zeros, 8), std::string(8, '\0'));
  ::close(fd);
  EXPECT_EQ(handler.seen[handler.seen.size() - 2].prop.BytesRead, static_cast<std::int32_t>(kSize));
}

// ---- what the service asks of the server ----

TEST_F(ReadServiceTest, EveryFetchAsksForAFreshCopy) {
  FaultServer server([](FaultServer::Connection& c) { c.Send(FaultServer::Response("200 OK", "fresh")); });
  Fetch(server.Url("/browser/updchk.ndf"));
  EXPECT_EQ(Completed(), "fresh");
  const std::vector<std::string> heads = server.Heads();
  ASSERT_EQ(heads.size(), 1u);
  EXPECT_EQ(heads[0].rfind("GET /browser/updchk.ndf HTTP/1.1\r\n", 0), 0u) << heads[0];
  EXPECT_NE(heads[0].find("\r\nCache-Control: no-cache\r\n"), std::string::npos) << heads[0];
  EXPECT_NE(heads[0].find("\r\nPragma: no-cache\r\n"), std::string::npos) << heads[0];
  EXPECT_EQ(heads[0].find("Cookie"), std::string::npos) << heads[0];
  EXPECT_EQ(heads[0].find("Authorization"), std::string::npos) << heads[0];
}

// ---- answers that are not the file ----

struct StatusRow {
  const char* status;
  const char* description;
};

void PrintTo(const StatusRow& r, std::ostream* os) { *os << r.status; }

class ErrorStatusTest : public ReadServiceTest, public ::testing::WithParamInterface<StatusRow> {};

TEST_P(ErrorStatusTest, IsAFailureWithItsTextAndNeverAFile) {
  const std::string status = GetParam().status;
  FaultServer server([&](FaultServer::Connection& c) {
    c.Send(FaultServer::Response(status, "<html><body>" + status + "</body></html>"));
  });
  Fetch(server.Url("/browser/updchk.ndf"));
  ExpectFailure(GetParam().description);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ErrorStatusTest,
    ::testing::Values(
        StatusRow{"401 Unauthorized", "The access code is invalid."},
        StatusRow{"403 Forbidden", "The access code is invalid."}, StatusRow{"404 Not Found", "The handle is invalid."},
        StatusRow{"410 Gone", "The handle is invalid."},
        StatusRow{"500 Internal Server Error", "The server answered 500 Internal Server Error instead of the file."},
        StatusRow{"503 Service Unavailable", "The server answered 503 Service Unavailable instead of the file."},
        StatusRow{"400 Bad Request", "The server answered 400 Bad Request instead of the file."},
        StatusRow{"302 Found", "The server answered 302 Found instead of the file."},
        StatusRow{"304 Not Modified", "The server answered 304 Not Modified instead of the file."}));

// ---- the connection fails ----

TEST_F(ReadServiceTest, RefusedConnectionIsAFailure) {
  Fetch("http://127.0.0.1:" + std::to_string(FreeLoopbackPort()) + "/browser/updchk.ndf");
  ExpectFailure("The server refused the connection.");
}

TEST_F(ReadServiceTest, UnresolvableNameIsAFailureInTheWordsTheWizardRecognises) {
  Fetch("http://larkspire-update.invalid/browser/updchk.ndf");
  ExpectFailure("The server name or address could not be resolved");
}

TEST_F(ReadServiceTest, BodyCutShortOfItsLengthIsAFailure) {
  FaultServer server([](FaultServer::Connection& c) {
    c.Send("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\nConnection: close\r\n\r\n" + std::string(400, 'x'));
  });
  Fetch(server.Url("/setup.msi"));
  ExpectFailure("The server closed the connection before the download was complete.");
}

TEST_F(ReadServiceTest, DroppedConnectionBeforeAnyAnswerIsAFailure) {
  FaultServer server([](FaultServer::Connection&) {});
  Fetch(server.Url("/setup.msi"));
  ExpectFailure("The server closed the connection without answering.");
}

TEST_F(ReadServiceTest, DroppedConnectionInTheMiddleOfTheHeadIsAFailure) {
  FaultServer server([](FaultServer::Connection& c) { c.Send("HTTP/1.1 200 OK\r\nContent-Len"); });
  Fetch(server.Url("/setup.msi"));
  ExpectFailure("The server closed the connection before the download was complete.");
}

TEST_F(ReadServiceTest, ChunkedBodyDroppedWhileArrivingIsAFailure) {
  // The connection drops once the client has read the first part of the
  // body and waits for the rest.
  std::atomic<bool> reading{false};
  service.SetProgressInterval(0);
  handler.onNotify = [&](const Notification& n) {
    if (n.prop.BytesRead == 50) reading = true;
  };
  FaultServer server([&](FaultServer::Connection& c) {
    c.Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n100\r\n" + std::string(50, 'x'));
    while (!reading && !c.Stopping()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  Fetch(server.Url("/setup.msi"));
  ExpectFailure("The server closed the connection before the download was complete.");
}

TEST_F(ReadServiceTest, StallInTheMiddleOfTheBodyFailsInsteadOfHanging) {
  service.SetStallTimeout(200);
  std::atomic<bool> closed{false};
  FaultServer server([&](FaultServer::Connection& c) {
    c.Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\nConnection: close\r\n\r\n" + std::string(10, 'x'));
    closed = c.HoldUntilClientCloses();
  });
  Fetch(server.Url("/setup.msi"));
  ExpectFailure("The server stopped sending data: nothing arrived for 0.2 seconds.");
  // The failure also let go of the connection.
  EXPECT_TRUE(RunUntil([&] { return closed.load(); }));
}

TEST_F(ReadServiceTest, ServerThatNeverAnswersFailsInsteadOfHanging) {
  service.SetStallTimeout(200);
  FaultServer server([](FaultServer::Connection& c) { c.HoldUntilClientCloses(); });
  Fetch(server.Url("/browser/updchk.ndf"));
  ExpectFailure("The server stopped sending data: nothing arrived for 0.2 seconds.");
}

TEST(ReadServiceStallText, AWholeNumberOfSecondsIsNamedSo) {
  QtAsyncReadService service;
  TempDir folder;
  service.SetDownloadFolder(QString::fromStdString(folder.Native()));
  RecordingHandler handler;
  service.SetHandler(&handler);
  service.SetStallTimeout(1000);
  FaultServer server([](FaultServer::Connection& c) { c.HoldUntilClientCloses(); });
  service.AsyncRead(server.Url("/x.ndf"), 1, "k", 16);
  ASSERT_TRUE(RunUntil([&] { return handler.Ended(); }));
  EXPECT_EQ(handler.Last().prop.ErrorDescription, "The server stopped sending data: nothing arrived for 1 second.");
}

// ---- a full disk ----

// A small file system of its own, where the machine lets the test mount
// one; unmounted at the end.
class SmallFileSystem {
 public:
  explicit SmallFileSystem(const std::string& where) : where_(where) {
    ::mkdir(where.c_str(), 0700);
    mounted_ = ::mount("tmpfs", where.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=64k,mode=0700") == 0;
    if (!mounted_) error_ = std::strerror(errno);
  }
  ~SmallFileSystem() {
    if (mounted_) ::umount2(where_.c_str(), MNT_DETACH);
  }
  bool Mounted() const { return mounted_; }
  const std::string& Error() const { return error_; }

 private:
  std::string where_;
  bool mounted_ = false;
  std::string error_;
};

TEST_F(ReadServiceTest, FullDiskIsAFailureInTheWordsTheWizardRecognises) {
  const std::string small = folder.File("small");
  SmallFileSystem fs(small);
  if (!fs.Mounted()) GTEST_SKIP() << "no small file system can be mounted here: " << fs.Error();
  service.SetDownloadFolder(QString::fromStdString(small));
  const std::string body(1 << 20, 'p');
  FaultServer server([&](FaultServer::Connection& c) { c.Send(FaultServer::Response("200 OK", body)); });
  Fetch(server.Url("/setup.msi"));
  ASSERT_FALSE(handler.Last().complete);
  EXPECT_EQ(handler.Last().prop.ErrorDescription, "Not enough storage is available to process this command.");
  EXPECT_EQ(FilesIn(small), std::vector<std::string>{});
}

TEST_F(ReadServiceTest, WriteThatRunsOutOfSpaceIsAFailureInTheWordsTheWizardRecognises) {
  service.SetWriteLimitForTesting(100000);
  const std::string body(1 << 20, 'p');
  FaultServer server([&](FaultServer::Connection& c) { c.Send(FaultServer::Response("200 OK", body)); });
  Fetch(server.Url("/setup.msi"));
  ExpectFailure("Not enough storage is available to process this command.");
}

// ---- bodies without a length ----

TEST_F(ReadServiceTest, BodyWithoutALengthEndsWithTheConnectionAndNeverAnnouncesASize) {
  const std::string body(200000, 'n');
  FaultServer server([&](FaultServer::Connection& c) {
    c.Send("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n");
    c.Send(body);
  });
  service.SetProgressInterval(0);
  Fetch(server.Url("/browser/updchk.ndf"));
  EXPECT_EQ(Completed(), body);
  for (const Notification& n : handler.seen)
    if (!n.complete) {
      EXPECT_EQ(n.prop.BytesMax, 0) << "status " << n.prop.StatusCode << " read " << n.prop.BytesRead;
    }
  EXPECT_EQ(WithoutData(handler.Codes()).back(), kComplete);
}

TEST_F(ReadServiceTest, ChunkedBodyArrivesWholeWithoutASize) {
  FaultServer server([](FaultServer::Connection& c) {
    c.Send(
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n5\r\nhello\r\n6\r\n, "
        "you!\r\n0\r\n\r\n");
  });
  Fetch(server.Url("/a.ndf"));
  EXPECT_EQ(Completed(), "hello, you!");
  for (const Notification& n : handler.seen)
    if (!n.complete) {
      EXPECT_EQ(n.prop.BytesMax, 0);
    }
}

// ---- how the answer is read ----

TEST_F(ReadServiceTest, AnswerArrivingInSmallPiecesIsReadWhole) {
  // Pieces end inside the head's end, a chunk's size line, a chunk's data
  // and the line after it; the chunks carry extensions and a trailer.
  const std::vector<std::string> pieces = {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r",
                                           "\n\r",
                                           "\n",
                                           "1",
                                           "0;name=value\r\n",
                                           "0123456789",
                                           "ABCDEF",
                                           "\r",
                                           "\n3\r\nxyz\r\n0\r\nX-Trailer: t",
                                           "\r\n",
                                           "\r\n"};
  FaultServer server([&](FaultServer::Connection& c) {
    for (const std::string& piece : pieces) {
      c.Send(piece);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    c.HoldUntilClientCloses();
  });
  Fetch(server.Url("/a.ndf"));
  EXPECT_EQ(Completed(), "0123456789ABCDEFxyz");
}

TEST_F(ReadServiceTest, InterimAnswerIsPassedOver) {
  FaultServer server([](FaultServer::Connection& c) {
    c.Send("HTTP/1.1 100 Continue\r\n\r\n" + FaultServer::Response("200 OK", "after the interim answer"));
  });
  Fetch(server.Url("/a.ndf"));
  EXPECT_EQ(Completed(), "after the interim answer");
}

TEST_F(ReadServiceTest, OnlyTheAnnouncedLengthIsKept) {
  FaultServer server([](FaultServer::Connection& c) {
    c.Send("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello and more");
    c.HoldUntilClientCloses();
  });
  Fetch(server.Url("/a.ndf"));
  EXPECT_EQ(Completed(), "hello");
}

TEST_F(ReadServiceTest, EmptyBodyIsAnEmptyFile) {
  FaultServer server([](FaultServer::Connection& c) {
    c.Send("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
    c.HoldUntilClientCloses();
  });
  Fetch(server.Url("/a.ndf"));
  EXPECT_EQ(Completed(), "");
}

TEST_F(ReadServiceTest, OlderProtocolAnswerEndsWithTheConnection) {
  FaultServer server([](FaultServer::Connection& c) { c.Send("HTTP/1.0 200 OK\r\n\r\nold style"); });
  Fetch(server.Url("/a.ndf"));
  EXPECT_EQ(Completed(), "old style");
}

struct GarbleRow {
  const char* name;
  std::string answer;
};

void PrintTo(const GarbleRow& r, std::ostream* os) { *os << r.name; }

class GarbledAnswerTest : public ReadServiceTest, public ::testing::WithParamInterface<GarbleRow> {};

TEST_P(GarbledAnswerTest, IsAFailureNeverAFile) {
  const std::string answer = GetParam().answer;
  FaultServer server([&](FaultServer::Connection& c) {
    c.Send(answer);
    c.HoldUntilClientCloses();
  });
  Fetch(server.Url("/a.ndf"));
  ExpectFailure("The server's answer could not be understood.");
}

INSTANTIATE_TEST_SUITE_P(
    Table, GarbledAnswerTest,
    ::testing::Values(GarbleRow{"NotHttp", "SSH-2.0-OpenSSH_9.2\r\n\r\n"}, GarbleRow{"NoStatus", "HTTP/1.1 OK\r\n\r\n"},
                      GarbleRow{"BadLength", "HTTP/1.1 200 OK\r\nContent-Length: 12ab\r\n\r\n"},
                      GarbleRow{"BadChunkSize", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n"},
                      GarbleRow{"ChunkLongerThanItsSize",
                                "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nabc\r\n0\r\n\r\n"},
                      GarbleRow{"EndlessHead", "HTTP/1.1 200 OK\r\n" + std::string(70000, 'h')}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReadServiceTest, RequestIsAPlainGetOfThePathAndQuery) {
  FaultServer server([](FaultServer::Connection& c) { c.Send(FaultServer::Response("200 OK", "x")); });
  Fetch(server.Url("/dl/setup%20file.msi?v=2"));
  EXPECT_EQ(Completed(), "x");
  const std::string head = server.Heads().at(0);
  EXPECT_EQ(head.rfind("GET /dl/setup%20file.msi?v=2 HTTP/1.1\r\n", 0), 0u) << head;
  EXPECT_NE(head.find("\r\nHost: " + server.Host() + "\r\n"), std::string::npos) << head;
  EXPECT_NE(head.find("\r\nConnection: close\r\n"), std::string::npos) << head;
  EXPECT_EQ(head.find("Accept-Encoding"), std::string::npos) << head;
}

// ---- redirects ----

TEST_F(ReadServiceTest, RedirectToAnotherPlainAddressIsFollowed) {
  FaultServer server([](FaultServer::Connection& c) {
    if (c.Path() == "/browser/updchk.ndf")
      c.Send(FaultServer::Response("302 Found", "", "Location: /mirror/updchk.ndf\r\n"));
    else
      c.Send(FaultServer::Response("200 OK", "[setup]\r\n"));
  });
  Fetch(server.Url("/browser/updchk.ndf"));
  EXPECT_EQ(Completed(), "[setup]\r\n");
  ASSERT_EQ(server.Heads().size(), 2u);
  EXPECT_EQ(server.Heads()[1].rfind("GET /mirror/updchk.ndf ", 0), 0u);
}

TEST_F(ReadServiceTest, RedirectToAnotherServerIsFollowed) {
  FaultServer target([](FaultServer::Connection& c) { c.Send(FaultServer::Response("200 OK", "moved here")); });
  FaultServer server([&](FaultServer::Connection& c) {
    c.Send(FaultServer::Response("301 Moved Permanently", "", "Location: " + target.Url("/b.msi") + "\r\n"));
  });
  Fetch(server.Url("/a.msi"));
  EXPECT_EQ(Completed(), "moved here");
}

TEST_F(ReadServiceTest, RedirectToASecureAddressIsRefused) {
  FaultServer server([](FaultServer::Connection& c) {
    c.Send(FaultServer::Response("302 Found", "", "Location: https://127.0.0.1:1/setup.msi\r\n"));
  });
  Fetch(server.Url("/setup.msi"));
  ExpectFailure("The server redirected the download to an address that is not allowed: https://127.0.0.1:1/setup.msi");
}

// Each /rN sends the client on to /r(N+1); /r<last> has the file.
std::unique_ptr<FaultServer> RedirectChain(int last) {
  return std::make_unique<FaultServer>([last](FaultServer::Connection& c) {
    const int n = std::stoi(c.Path().substr(2));
    if (n == last)
      c.Send(FaultServer::Response("200 OK", "end of the chain"));
    else
      c.Send(FaultServer::Response("302 Found", "", "Location: /r" + std::to_string(n + 1) + "\r\n"));
  });
}

TEST_F(ReadServiceTest, FiveRedirectsAreFollowed) {
  auto server = RedirectChain(5);
  Fetch(server->Url("/r0"));
  EXPECT_EQ(Completed(), "end of the chain");
  EXPECT_EQ(server->Heads().size(), 6u);
}

TEST_F(ReadServiceTest, ASixthRedirectIsAFailure) {
  auto server = RedirectChain(6);
  Fetch(server->Url("/r0"));
  ExpectFailure("The server redirected the download too many times.");
  EXPECT_EQ(server->Heads().size(), 6u);
}

// ---- cancel ----

TEST_F(ReadServiceTest, CancelledTrickleDeliversNothingMoreAndLeavesNoFile) {
  std::atomic<bool> clientGone{false};
  FaultServer server([&](FaultServer::Connection& c) {
    if (!c.Send("HTTP/1.1 200 OK\r\nContent-Length: 1048576\r\nConnection: close\r\n\r\n")) return;
    for (int i = 0; i < 1024 && !c.Stopping(); ++i) {
      if (!c.Send(std::string(1024, 't'))) {
        clientGone = true;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  });
  const std::string url = server.Url("/setup.msi");
  service.AsyncRead(url, 1, url, 16);
  ASSERT_TRUE(RunUntil([&] { return !handler.seen.empty() && handler.Last().prop.BytesRead > 0; }));
  ASSERT_FALSE(handler.Ended());
  service.CancelAsyncRead(url);
  const std::size_t seen = handler.seen.size();
  EXPECT_EQ(FilesIn(folder.Native()), std::vector<std::string>{});
  // The server keeps sending until it sees the connection gone.
  EXPECT_TRUE(RunUntil([&] { return clientGone.load(); }));
  RunPendingEvents();
  EXPECT_EQ(handler.seen.size(), seen);
  EXPECT_EQ(FilesIn(folder.Native()), std::vector<std::string>{});
}

TEST_F(ReadServiceTest, CancelFromInsideANotificationEndsTheFetchThere) {
  FaultServer server(
      [](FaultServer::Connection& c) { c.Send(FaultServer::Response("200 OK", std::string(500000, 'c'))); });
  const std::string url = server.Url("/setup.msi");
  handler.onNotify = [&](const Notification& n) {
    if (n.prop.StatusCode == AsyncStatus::BeginDownloadData) service.CancelAsyncRead(url);
  };
  service.AsyncRead(url, 1, url, 16);
  ASSERT_TRUE(RunUntil([&] { return server.Served() == 1; }));
  RunPendingEvents();
  EXPECT_EQ(handler.Codes().back(), AsyncStatus::BeginDownloadData);
  EXPECT_EQ(FilesIn(folder.Native()), std::vector<std::string>{});
}

TEST_F(ReadServiceTest, CancelAfterTheLastDataDropsTheCompletionAndItsFile) {
  // "All data has arrived" comes before the completion; a Stop confirmed
  // then still ends the fetch without a file.
  FaultServer server([](FaultServer::Connection& c) { c.Send(FaultServer::Response("200 OK", "almost there")); });
  const std::string url = server.Url("/setup.msi");
  bool cancelled = false;
  handler.onNotify = [&](const Notification& n) {
    if (n.prop.StatusCode == AsyncStatus::EndDownloadData && !n.complete) {
      service.CancelAsyncRead(url);
      cancelled = true;
    }
  };
  service.AsyncRead(url, 1, url, 16);
  ASSERT_TRUE(RunUntil([&] { return cancelled; }));
  RunPendingEvents();
  EXPECT_EQ(handler.Codes().back(), AsyncStatus::EndDownloadData);
  EXPECT_EQ(FilesIn(folder.Native()), std::vector<std::string>{});
  EXPECT_THROW(service.CancelAsyncRead(url), RuntimeError);
}

TEST_F(ReadServiceTest, CancelOfAKeyWithoutAFetchRaises) {
  try {
    service.CancelAsyncRead("http://127.0.0.1:1/none");
    FAIL() << "no error raised";
  } catch (const RuntimeError& e) {
    EXPECT_FALSE(e.Description().empty());
  }
}

TEST_F(ReadServiceTest, FetchingAKeyAgainReplacesItsFetch) {
  service.SetStallTimeout(60000);
  FaultServer stalled([](FaultServer::Connection& c) {
    c.Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\nConnection: close\r\n\r\nabc");
    c.HoldUntilClientCloses();
  });
  FaultServer good([](FaultServer::Connection& c) { c.Send(FaultServer::Response("200 OK", "second")); });
  service.AsyncRead(stalled.Url("/a"), 1, "key", 16);
  ASSERT_TRUE(RunUntil([&] { return stalled.Heads().size() == 1; }));
  service.AsyncRead(good.Url("/a"), 1, "key", 16);
  ASSERT_TRUE(RunUntil([&] { return handler.Ended(); }));
  EXPECT_EQ(Completed(), "second");
  EXPECT_EQ(FilesIn(folder.Native()).size(), 1u);
}

TEST(ReadServiceLifetime, PartialFilesGoWithTheService) {
  TempDir folder;
  RecordingHandler handler;
  FaultServer server([](FaultServer::Connection& c) {
    c.Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\nConnection: close\r\n\r\nabc");
    c.HoldUntilClientCloses();
  });
  {
    QtAsyncReadService service;
    service.SetHandler(&handler);
    service.SetDownloadFolder(QString::fromStdString(folder.Native()));
    service.AsyncRead(server.Url("/a"), 1, "key", 16);
    ASSERT_TRUE(RunUntil([&] { return !handler.seen.empty() && handler.Last().prop.StatusCode == 4; }));
  }
  EXPECT_EQ(FilesIn(folder.Native()), std::vector<std::string>{});
}

// ---- fetches that cannot start ----

class RefusedAddressTest : public ReadServiceTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(RefusedAddressTest, RaisesWithADescriptionAndStartsNothing) {
  try {
    service.AsyncRead(GetParam(), 1, GetParam(), 16);
    FAIL() << "no error raised";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.Description(), std::string("The address is not an http:// address: ") + GetParam());
  }
  RunPendingEvents();
  EXPECT_TRUE(handler.seen.empty());
  EXPECT_EQ(FilesIn(folder.Native()), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Table, RefusedAddressTest,
                         ::testing::Values("https://127.0.0.1/setup.msi", "ftp://127.0.0.1/setup.msi",
                                           "file:///etc/passwd", "no address at all", "http:///setup.msi", ""));

TEST_F(ReadServiceTest, FolderThatCannotHoldTheFileRefusesTheFetch) {
  service.SetDownloadFolder(QString::fromStdString(folder.File("missing")));
  try {
    service.AsyncRead("http://127.0.0.1:1/a", 1, "k", 16);
    FAIL() << "no error raised";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.Description(),
              "The download could not be stored: no file can be made in " + folder.File("missing") + ".");
  }
  RunPendingEvents();
  EXPECT_TRUE(handler.seen.empty());
}
}  // namespace
