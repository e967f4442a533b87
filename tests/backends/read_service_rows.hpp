#pragma once
// The read services' one table: what each server, proxy or disk makes of a
// fetch, served to both services (libcurl on Linux in
// libcurl/read_service_test.cpp, WinINet under Wine in
// win32/read_service_test.cpp), each on a loopback server of its own that
// plays the row's script. Where the two differ, the row says so: this table
// is the one list of their known differences.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "backends/common/transfer_rules.hpp"
#include "platform/async_read_service.hpp"

// How a server answers a request, given its head; then it closes, or with
// a trickle it sends that every 20 ms and never closes ("": keeps silent).
struct Script {
  std::function<std::string(const std::string& head)> answer;
  const char* trickle = nullptr;
};

inline std::string Reply(const std::string& status, const std::string& body, const std::string& headers = "") {
  return "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" + headers + "\r\n" + body;
}
inline Script Answer(std::string bytes, const char* trickle = nullptr) {
  return {[=](const std::string&) { return bytes; }, trickle};
}
// Answers with the request's first line, and "fresh" when it told every
// cache to fetch anew and asked for the file itself.
inline std::string Echo(const std::string& head) {
  const bool fresh = head.find("\r\nCache-Control: no-cache\r\n") != std::string::npos &&
                     head.find("\r\nPragma: no-cache\r\n") != std::string::npos &&
                     head.find("\r\nAccept-Encoding: identity\r\n") != std::string::npos;
  return Reply("200 OK", head.substr(0, head.find("\r\n")) + (fresh ? " fresh" : ""));
}
// The file redirects to /1, /N to /(N+1), up to /<last>, which answers.
template <int last>
std::string Redirects(const std::string& head) {
  const int n = std::atoi(head.c_str() + 5);
  return Reply(n < last ? "302 Found" : "200 OK", "end", "Location: /" + std::to_string(n + 1) + "\r\n");
}

inline constexpr std::int64_t kCeiling = 64 * 1024;  // of every download in these tests
// The rules of the table's fetches: a stall limit and a small file's deadline of a second, progress as it comes,
// the ceiling above, and the disk reserve given.
inline TransferSettings TableSettings(std::int64_t diskReserve) {
  return {.stallSeconds = 1, .progressMs = 0, .ceiling = kCeiling, .diskReserve = diskReserve, .smallFileSeconds = 1};
}

enum class ReadService { Libcurl, WinInet };

struct ReadRow {
  const char* name;
  Script server;
  // The failure's number and words, "=" and the file (" (no length)" when
  // none was announced), or "cancelled" (once data arrives).
  std::string outcome;
  std::string host = "@";  // "@": the server's host and port
  std::int64_t limit = 0;  // of the file's length, 0: none
  // The proxy settings of the environment ("@": the server), which libcurl
  // reads; WinINet takes the system's.
  std::vector<std::pair<const char*, const char*>> env = {};
  // Where a service differs: its own outcome, or "" when the row cannot be
  // played to it.
  std::optional<std::string> libcurl = {}, wininet = {};

  const std::string& OutcomeFor(ReadService s) const {
    const auto& own = s == ReadService::Libcurl ? libcurl : wininet;
    return own ? *own : outcome;
  }
};

// clang-format off
inline const std::string kOk = "HTTP/1.1 200 OK\r\n", kChunked = kOk + "Transfer-Encoding: chunked\r\n\r\n";
inline const std::string kGarbled = "12152 The server's answer could not be understood.", kInvalid = "larkspire-update.invalid";
inline const std::string kUnresolved = "12007 The server name or address could not be resolved";
inline const std::string kStopped = "12152 The download was stopped: the file is larger than ";
// 1000 "a"s, gzip-coded into 29 bytes.
inline const std::string kGzip1000("\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\x4b\x4c\x1c\x05\xa3\x60\x14\x0c\x77\x00\x00\x03\xda\x38\x9a\xe8\x03\x00\x00", 29);
// A full disk names its folder.
inline const std::string kFull = "112 There is not enough free space in <store> to store the download. Make room there, then click Retry.";
// A reserve of 1 TB, which no test disk keeps (the other rows keep none).
inline const std::string kReserve = "112 There is not enough free space in <store> to store the download: it needs 12 bytes, <free> are free and 1.0 TB must stay free. Make room there, then click Retry.";
inline constexpr std::int64_t kReserveBytes = std::int64_t{1} << 40;
inline const std::string kKilobyte(1024, 't');
inline const std::string kEcho = "=GET /browser/updchk.ndf HTTP/1.1 fresh";
inline const std::string kByProxy = "=GET http://larkspire-update.invalid/browser/updchk.ndf HTTP/1.1 fresh";

inline const ReadRow kReadRows[] = {
    {"GoodFile", Answer(Reply("200 OK", "the file")), "=the file"},
    {"NoLength", Answer(kOk + "\r\nto the close"), "=to the close (no length)"},
    // A length beside chunked coding says nothing: the chunks do.
    {"Chunked", Answer(kOk + "Content-Length: 99\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n6;x=y\r\n, you!\r\n0\r\nX-T: t\r\n\r\n"), "=hello, you! (no length)"},
    {"PastEveryCache", {Echo}, kEcho},
    {"InterimAnswer", Answer("HTTP/1.1 100 Continue\r\n\r\n" + Reply("200 OK", "after")), "=after"},
    {"Status403", Answer(Reply("403 Forbidden", "<h1>403</h1>")), "403 The access code is invalid."},
    {"Status404", Answer(Reply("404 Not Found", "<h1>404</h1>")), "404 The handle is invalid."},
    {"Status500", Answer(Reply("500 Oops", "<h1>500</h1>")), "500 The server answered 500 Oops instead of the file."},
    {"Status304", Answer("HTTP/1.1 304 Same\r\n\r\n"), "304 The server answered 304 Same instead of the file."},
    {"Refused", Answer(""), "12029 The server refused the connection.", "127.0.0.1:1"},  // where nobody listens
    {"Unresolvable", Answer(""), kUnresolved, kInvalid},
    {"BodyCut", Answer(kOk + "Content-Length: 9\r\n\r\nabc"), "12030 The server closed the connection before the download was complete."},
    {"NothingAnswered", Answer(""), "12030 The server closed the connection without answering."},
    {"Trickle", Answer(kOk + "Content-Length: 60000\r\n\r\n", "t"), "12002 The server stopped sending data: less than 100 bytes a second arrived for 1 second."},
    {"NoAnswerAtAll", Answer("", ""), "12002 The server stopped sending data: nothing arrived for 1 second."},
    {"SlowHead", Answer(kOk, "X-Slow: "), "12002 The server answered too slowly: the head of its answer was not complete after 1 second."},
    // Above the stall rate, but a small file (one with a limit) may take a second in all here.
    {"PastTheDeadline", Answer(kOk + "Content-Length: 60000\r\n\r\n", "ttt"), "12002 The download was stopped: it did not complete within 1 second.", "@", 60000},
    {"SilentBody", Answer(kOk + "Content-Length: 100\r\n\r\nab", ""), "12002 The server stopped sending data: nothing arrived for 1 second."},
    {"FiveRedirects", {Redirects<5>}, "=end"},
    {"SixRedirects", {Redirects<6>}, "12156 The server redirected the download too many times."},
    {"RedirectToFtp", Answer(Reply("302 Found", "", "Location: ftp://h/\r\n")), "12156 The server redirected the download to an address that is not allowed: ftp://h/"},
    {"OverlongHead", Answer(kOk + "X-Long: " + std::string(200000, 'h') + "\r\n\r\n"), kGarbled},
    {"UnknownCoding", Answer(kOk + "Transfer-Encoding: notchunked\r\n\r\n2\r\nab\r\n0\r\n\r\n"), kGarbled},
    {"DifferingLengths", Answer(kOk + "Content-Length: 2\r\nContent-Length: 5\r\n\r\nabcde"), kGarbled},
    {"LengthNotANumber", Answer(kOk + "Content-Length: 2ab\r\n\r\nab"), kGarbled},
    {"MalformedChunk", Answer(kChunked + "zz\r\nab\r\n0\r\n\r\n"), kGarbled, "@", 0, {}, {}, ""},
    // WinINet reads these answers as files.
    {"ChunkCut", Answer(kChunked + "5\r\nhello\r\n"), "12030 The server closed the connection before the download was complete.", "@", 0, {}, {}, "=hello (no length)"},
    {"BareLineFeeds", Answer("HTTP/1.1 200 OK\nContent-Length: 2\n\nab"), kGarbled, "@", 0, {}, {}, "=ab"},
    {"NotHttp", Answer("SSH-2.0-OpenSSH_9.2\r\n\r\n"), kGarbled, "@", 0, {}, {}, "=\r\n (no length)"},
    {"AnnouncedPastTheLimit", Answer(Reply("200 OK", "12345")), kStopped + "the 4 bytes it may have.", "@", 4},
    {"UnannouncedPastTheCeiling", Answer(kChunked + "10001\r\n" + std::string(kCeiling + 1, 'c') + "\r\n0\r\n\r\n"), kStopped + "65536 bytes, the most a download may have."},
    {"LimitAboveTheCeiling", Answer(Reply("200 OK", std::string(kCeiling + 1, 'c'))), kStopped + "65536 bytes, the most a download may have.", "@", 1 << 20},
    {"WithinTheLimit", Answer(Reply("200 OK", "1234")), "=1234", "@", 4},
    {"DiskReserve", Answer(Reply("200 OK", "twelve bytes")), kReserve},
    {"Cancelled", Answer(kOk + "Content-Length: 60000\r\n\r\n", kKilobyte.c_str()), "cancelled"},
    // What only libcurl plays: the environment's proxies, coded bodies (WinINet
    // asks for none) and a small file system of its own for the full disk.
    {"HttpProxy", {Echo}, kByProxy, kInvalid, 0, {{"http_proxy", "http://@"}}, {}, ""},
    {"UpperCaseProxy", {Echo}, kByProxy, kInvalid, 0, {{"HTTP_PROXY", "@"}}, {}, ""},
    {"ProxyRefusedIsNamedWithoutItsPassword", Answer(""), "12029 The server refused the connection. The download went through the proxy http://127.0.0.1:1.", kInvalid, 0, {{"http_proxy", "lark:secret@127.0.0.1:1"}}, {}, ""},
    {"NoProxyDomain", {Echo}, kUnresolved, kInvalid, 0, {{"http_proxy", "@"}, {"NO_PROXY", "localhost .INVALID"}}, {}, ""},
    {"NoProxyRange", {Echo}, kEcho, "@", 0, {{"http_proxy", "@"}, {"no_proxy", "10.0.0.0/8,127.0.0.0/8"}}, {}, ""},
    {"Gzip", Answer(kOk + "Content-Encoding: gzip\r\n\r\n" + std::string("\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\xcb\x49\x2c\xca\x06\x00\x14\x95\xc8\xde\x04\x00\x00\x00", 24)), "=lark (no length)", "@", 0, {}, {}, ""},
    // Decoded bytes count: a file that outgrows its bound stops, before a byte past it is stored.
    {"CodedPastTheLimit", Answer(kOk + "Content-Encoding: gzip\r\n\r\n" + kGzip1000), kStopped + "the 999 bytes it may have.", "@", 999, {}, {}, ""},
    // The announced length is the coded one, on the wire.
    {"CodedWithItsLength", Answer(Reply("200 OK", kGzip1000, "Content-Encoding: gzip\r\n")), "=" + std::string(1000, 'a'), "@", 0, {}, {}, ""},
    {"FullDisk", Answer(kChunked + "c000\r\n" + std::string(48 * 1024, 'p') + "\r\n0\r\n\r\n"), kFull, "@", 0, {}, {}, ""}};
// clang-format on

// The rows a service plays.
inline std::vector<ReadRow> ReadRowsFor(ReadService s) {
  std::vector<ReadRow> rows;
  for (const ReadRow& row : kReadRows)
    if (!row.OutcomeFor(s).empty()) rows.push_back(row);
  return rows;
}

// What a fetch's watcher saw stored, which must be the file's bytes.
struct WatchedBytes : IStoredBytes {
  std::string bytes;
  void Stored(std::span<const std::uint8_t> block) override { bytes.append(block.begin(), block.end()); }
};

// What both services' tests stand on: a service of that kind whose every
// notification is recorded, a folder of their downloads, and a fetch that
// runs the thread's events by pump(until, ms) until it ends.
template <class Service, class Folder, bool (*pump)(const std::function<bool()>&, int)>
class ReadServiceFixture : public ::testing::Test, public IAsyncReadHandler {
 protected:
  ReadServiceFixture() { service.SetHandler(this); }
  void AsyncReadProgress(const AsyncProperty& p) override { seen.push_back({p, false}); }
  void AsyncReadComplete(const AsyncProperty& p) override { seen.push_back({p, true}); }
  const AsyncProperty& Last() { return seen.back().first; }
  // Fetches url until it ends, or (untilData) data arrives; false after 20 s (a safety net).
  bool Fetch(const std::string& url, bool untilData, std::int64_t limit) {
    service.AsyncRead(url, 1, url, 16, limit, watched);
    return pump(
        [&] { return !seen.empty() && (seen.back().second || !Last().StatusCode || (untilData && Last().BytesRead)); },
        20000);
  }

  Folder folder;
  std::vector<std::pair<AsyncProperty, bool>> seen;  // each notification, and whether it was the completion
  std::shared_ptr<WatchedBytes> watched = std::make_shared<WatchedBytes>();
  Service service;
};

// The outcome in the table's words: the folder of a full disk as <store>,
// and what is free there as <free>.
inline std::string InTableWords(std::string outcome, std::string store) {
  while (store.size() > 1 && (store.back() == '/' || store.back() == '\\')) store.pop_back();
  if (const std::size_t p = outcome.find(store); outcome.starts_with("112 ") && p != std::string::npos)
    outcome.replace(p, store.size(), "<store>");
  return std::regex_replace(outcome, std::regex("[0-9.]+ [a-zA-Z]+ are free"), "<free> are free");
}

// The stages a fetch went through, in order ("=" after the completion,
// progress left out); max: the length the answer announced. Checks the
// figures on the way: the bytes only grow, and the length is known from the
// answer on, never before.
inline std::string StagesOf(const std::vector<std::pair<AsyncProperty, bool>>& seen, std::int32_t& max) {
  std::string stages;
  std::int32_t read = 0;
  max = 0;
  for (const auto& [p, complete] : seen) {
    if (p.StatusCode != AsyncStatus::DownloadingData) stages += std::to_string(p.StatusCode) + (complete ? "=" : " ");
    if (complete || p.StatusCode == AsyncStatus::Error) continue;  // figures of their own
    if (p.StatusCode == AsyncStatus::BeginDownloadData) max = p.BytesMax;
    EXPECT_TRUE(p.BytesRead >= std::exchange(read, p.BytesRead) &&
                p.BytesMax == (p.StatusCode >= 4 && p.StatusCode <= 6 ? max : 0))
        << p.StatusCode;
  }
  return stages;
}
