// The WinINet read service against a scripted server on loopback: one table
// of servers, good and faulty, each row expecting the Linux service's number
// and words where the Linux table has the same row (README.md, "Where the
// two sides differ", for the rest). Every fetch stores into a private
// temporary folder, so the tests see every file the service leaves behind.
#include "backends/win32/read_service.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>

#include "backends/win32/inet_errors.hpp"
#include "backends/win32/prelude.hpp"
#include "backends/win32/wide_text.hpp"
#include "loopback_server.hpp"
#include "support/runtime_error.hpp"
#include "transfer/u_http.hpp"

namespace {
std::string Reply(const std::string& status, const std::string& body, const std::string& headers = "") {
  return "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" + headers + "\r\n" + body;
}

// Dispatches the thread's messages, as a program's message loop does, until
// done or the deadline (a safety net); returns done().
bool Pump(const std::function<bool()>& done, int ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    for (MSG msg; PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&msg);
  }
  return true;
}

// A folder of its own made the temporary folder (TMP) while a test runs.
class TempFolder {
 public:
  TempFolder() {
    wchar_t base[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, base);
    path_ = std::wstring(base) + L"lkrs" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    CreateDirectoryW(path_.c_str(), nullptr);
    SetEnvironmentVariableW(L"TMP", path_.c_str());
  }
  ~TempFolder() {
    for (const std::wstring& name : Files()) DeleteFileW((path_ + name).c_str());
    RemoveDirectoryW(path_.c_str());
    SetEnvironmentVariableW(L"TMP", nullptr);
  }
  const std::wstring& Path() const { return path_; }
  std::vector<std::wstring> Files() const {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((path_ + L"*").c_str(), &found);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found))
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    return names;
  }

 private:
  std::wstring path_;
};

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
  // Fetches url until it ends, or (untilData) data arrives; false after 20 s.
  bool Fetch(const std::string& url, bool untilData, std::int64_t limit) {
    service.AsyncRead(url, 1, url, 16, limit);
    return Pump(
        [&] { return !seen.empty() && (seen.back().second || !Last().StatusCode || (untilData && Last().BytesRead)); },
        20000);
  }

  TempFolder folder;
  std::vector<std::pair<AsyncProperty, bool>> seen;  // each notification, and whether it was the completion
  Win32AsyncReadService service;
};

// ---- one table: what each server makes of a fetch ----

Script Answer(std::string bytes, const char* trickle = nullptr) {
  return {[=](auto&) { return bytes; }, trickle};
}
// The file redirects to /1, /N to /(N+1), up to /<last>, which answers.
template <int last>
std::string Redirects(const std::string& head) {
  const int n = std::atoi(head.c_str() + 5);
  return Reply(n < last ? "302 Found" : "200 OK", "end", "Location: /" + std::to_string(n + 1) + "\r\n");
}

// Answers with the request's first line, and "fresh" when it told every
// cache to fetch anew and asked for the file itself.
std::string Echo(const std::string& head) {
  const bool fresh = head.find("\r\nCache-Control: no-cache\r\n") != std::string::npos &&
                     head.find("\r\nPragma: no-cache\r\n") != std::string::npos &&
                     head.find("\r\nAccept-Encoding: identity\r\n") != std::string::npos;
  return Reply("200 OK", head.substr(0, head.find("\r\n")) + (fresh ? " fresh" : ""));
}

const std::string kOk = "HTTP/1.1 200 OK\r\n", kChunked = kOk + "Transfer-Encoding: chunked\r\n\r\n";
const std::string kKilobyte(1024, 't');

struct FaultRow {
  const char* name;
  Script server;
  std::string outcome;     // the failure's number and words, or "=" and the file
  std::string host = "@";  // "@": the server's
  std::int64_t limit = 0;  // of the file's length, 0: none
};

// clang-format off
const FaultRow kRows[] = {
    {"GoodFile", Answer(Reply("200 OK", "the file")), "=the file"},
    {"NoLength", Answer(kOk + "\r\nto the close"), "=to the close (no length)"},
    {"Chunked", Answer(kChunked + "5\r\nhello\r\n6;x=y\r\n, you!\r\n0\r\n\r\n"), "=hello, you! (no length)"},
    {"PastEveryCache", {Echo}, "=GET /browser/updchk.ndf HTTP/1.1 fresh"},
    {"InterimAnswer", Answer("HTTP/1.1 100 Continue\r\n\r\n" + Reply("200 OK", "after")), "=after"},
    {"Status403", Answer(Reply("403 Forbidden", "<h1>403</h1>")), "403 The access code is invalid."},
    {"Status404", Answer(Reply("404 Not Found", "<h1>404</h1>")), "404 The handle is invalid."},
    {"Status500", Answer(Reply("500 Oops", "<h1>500</h1>")), "500 The server answered 500 Oops instead of the file."},
    {"Status304", Answer("HTTP/1.1 304 Same\r\n\r\n"), "304 The server answered 304 Same instead of the file."},
    {"Refused", Answer(""), "12029 The server refused the connection.", "127.0.0.1:1"},  // where nobody listens
    {"Unresolvable", Answer(""), "12007 The server name or address could not be resolved", "nonexistent.invalid"},
    {"BodyCut", Answer(kOk + "Content-Length: 9\r\n\r\nabc"), "12030 The server closed the connection before the download was complete."},
    {"NothingAnswered", Answer(""), "12030 The server closed the connection without answering."},
    {"Trickle", Answer(kOk + "Content-Length: 60000\r\n\r\n", "t"), "12002 The server stopped sending data: less than 100 bytes a second arrived for 1 second."},
    {"NoAnswerAtAll", Answer("", ""), "12002 The server stopped sending data: nothing arrived for 1 second."},
    {"SilentBody", Answer(kOk + "Content-Length: 100\r\n\r\nab", ""), "12002 The server stopped sending data: nothing arrived for 1 second."},
    {"FiveRedirects", {Redirects<5>}, "=end"},
    {"SixRedirects", {Redirects<6>}, "12156 The server redirected the download too many times."},
    {"RedirectToHttps", Answer(Reply("302 Found", "", "Location: https://h/\r\n")), "12156 The server redirected the download to an address that is not allowed: https://h/"},
    {"OverlongHead", Answer(kOk + "X-Long: " + std::string(200000, 'h') + "\r\n\r\n"), "12152 The server's answer could not be understood."},
    {"UnknownCoding", Answer(kOk + "Transfer-Encoding: notchunked\r\n\r\n2\r\nab\r\n0\r\n\r\n"), "12152 The server's answer could not be understood."},
    {"DifferingLengths", Answer(kOk + "Content-Length: 2\r\nContent-Length: 5\r\n\r\nabcde"), "12152 The server's answer could not be understood."},
    {"LengthNotANumber", Answer(kOk + "Content-Length: 2ab\r\n\r\nab"), "12152 The server's answer could not be understood."},
    // Where WinINet differs (README.md): it reads these answers as files.
    {"ChunkCut", Answer(kChunked + "5\r\nhello\r\n"), "=hello (no length)"},
    {"BareLineFeeds", Answer("HTTP/1.1 200 OK\nContent-Length: 2\n\nab"), "=ab"},
    {"NotHttp", Answer("SSH-2.0-OpenSSH_9.2\r\n\r\n"), "=\r\n (no length)"},
    {"AnnouncedPastTheLimit", Answer(Reply("200 OK", "12345")), "12152 The download was stopped: the file is larger than the 4 bytes it may have.", "@", 4},
    {"UnannouncedPastTheCeiling", Answer(kChunked + "10001\r\n" + std::string(kCeiling + 1, 'c') + "\r\n0\r\n\r\n"), "12152 The download was stopped: the file is larger than 65536 bytes, the most a download may have."},
    {"LimitAboveTheCeiling", Answer(Reply("200 OK", std::string(kCeiling + 1, 'c'))), "12152 The download was stopped: the file is larger than 65536 bytes, the most a download may have.", "@", 1 << 20},
    {"WithinTheLimit", Answer(Reply("200 OK", "1234")), "=1234", "@", 4},
    {"Cancelled", Answer(kOk + "Content-Length: 60000\r\n\r\n", kKilobyte.c_str()), "cancelled"}};
// clang-format on

class FaultTest : public ReadServiceTest, public ::testing::WithParamInterface<FaultRow> {};

TEST_P(FaultTest, EndsAsTheRowSays) {
  const FaultRow& row = GetParam();
  const LoopbackServer server(row.server);
  const std::string host = row.host == "@" ? "127.0.0.1:" + std::to_string(server.Port()) : row.host;
  const std::string url = "http://" + host + "/browser/updchk.ndf";
  const bool cancel = row.outcome == "cancelled";  // once data arrives
  ASSERT_TRUE(Fetch(url, cancel, row.limit));
  if (cancel) {
    service.CancelAsyncRead(url);
    // Its worker lets go of the file once its blocking read returns.
    EXPECT_TRUE(Pump([&] { return folder.Files().empty(); }, 5000)) << "the partial file stays";
  }
  const std::size_t delivered = seen.size();
  Pump([] { return false; }, 100);  // anything still on its way arrives
  std::string outcome = cancel ? "cancelled" : std::to_string(Last().ErrorNumber) + " " + Last().ErrorDescription;
  std::string stages;  // "=": the completion
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
  if (!cancel && seen.back().second) {  // a file of the service's, in the folder, through each stage in order
    const std::wstring file = Widen(AsyncValue(Last()));
    const std::wstring name = file.substr(folder.Path().size());
    EXPECT_TRUE(file.starts_with(folder.Path()) && std::regex_match(name, std::wregex(L"lkd[0-9a-f]{8}\\.tmp")))
        << Last().Path;
    EXPECT_TRUE(std::regex_match(stages, std::regex("1 (2 11 )+4 6 6="))) << stages;
    std::stringstream bytes;
    bytes << std::ifstream(std::filesystem::path(file), std::ios::binary).rdbuf();
    outcome = "=" + bytes.str() + (max ? "" : " (no length)");
  } else if (!cancel) {
    EXPECT_TRUE(std::regex_match(stages, std::regex("1 ((2 )?11 )*(2 |4 )?0 "))) << stages;
  }
  EXPECT_EQ(outcome + (seen.size() > delivered ? " and more after the end" : ""), row.outcome);
  if (row.outcome.starts_with("=")) return;
  EXPECT_THROW(cancel ? service.CancelAsyncRead(url) : (void)AsyncValue(Last()), RuntimeError);
  EXPECT_TRUE(folder.Files().empty()) << "a file was left behind";
}

INSTANTIATE_TEST_SUITE_P(Table, FaultTest, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

// The failures no loopback server brings about, worded from WinINet's numbers.
TEST(InetErrors, EachFailureHasItsNumberAndWords) {
  const std::pair<InetEnd, std::string> rows[] = {
      {{.error = ERROR_INTERNET_TIMEOUT, .stallSeconds = 60},
       "12002 The server could not be reached within 60 seconds."},
      {{.error = ERROR_INTERNET_CONNECTION_RESET},
       "12030 The connection to the server failed: Connection reset by peer."},
      {{.error = ERROR_INTERNET_CONNECTION_ABORTED, .connected = true, .answered = true},
       "12030 The server closed the connection before the download was complete."},
      {{.error = ERROR_HTTP_INVALID_SERVER_RESPONSE}, "12152 The server's answer could not be understood."},
      {{.error = ERROR_OUTOFMEMORY}, "12030 The download failed: " + InetErrorText(ERROR_OUTOFMEMORY) + "."}};
  for (const auto& [end, words] : rows) {
    const FetchFailure f = DescribeInetError(end);
    EXPECT_EQ(std::to_string(f.number) + " " + f.description, words) << end.error;
  }
  EXPECT_NE(InetErrorText(ERROR_OUTOFMEMORY), "error 14") << "the system words its own numbers";
}

// A service is made and ended on its thread with a fetch still running:
// the fetch stops, its file goes, and nothing is delivered after.
TEST_F(ReadServiceTest, TheEndOfTheServiceStopsItsFetches) {
  {
    const LoopbackServer server(Answer("", ""));
    Win32AsyncReadService other;
    other.SetHandler(this);
    other.AsyncRead("http://127.0.0.1:" + std::to_string(server.Port()) + "/", 1, "k", 16, 0);
    ASSERT_TRUE(Pump([&] { return seen.size() >= 3; }, 5000));  // 1 2 11: the request is waiting for its answer
  }
  const std::size_t delivered = seen.size();
  EXPECT_TRUE(Pump([&] { return folder.Files().empty(); }, 5000)) << "the partial file stays";
  Pump([] { return false; }, 100);
  EXPECT_EQ(seen.size(), delivered);
}
}  // namespace
