// The WinINet read service against the read services' one table, played by
// a scripted server on loopback. Every fetch stores into a private temporary
// folder, so the tests see every file the service leaves behind.
#include "backends/win32/read_service.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <regex>

#include "backends/read_service_rows.hpp"
#include "backends/win32/inet_errors.hpp"
#include "backends/win32/prelude.hpp"
#include "backends/win32/wide_text.hpp"
#include "fakes/fake_services.hpp"
#include "loopback_server.hpp"
#include "support/runtime_error.hpp"
#include "transfer/u_http.hpp"

namespace {
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
struct TempFolder : TempDir {
  TempFolder() { SetEnvironmentVariableW(L"TMP", Widen(Path()).c_str()); }
  ~TempFolder() { SetEnvironmentVariableW(L"TMP", nullptr); }
  bool Empty() const { return std::filesystem::is_empty(Native()); }
};

using ReadServiceTest = ReadServiceFixture<Win32AsyncReadService, TempFolder, Pump>;

// ---- the read services' one table (read_service_rows.hpp) ----

class FaultTest : public ReadServiceTest, public ::testing::WithParamInterface<ReadRow> {};

TEST_P(FaultTest, EndsAsTheRowSays) {
  const ReadRow& row = GetParam();
  const std::string& expected = row.OutcomeFor(ReadService::WinInet);
  const LoopbackServer server(row.server);
  const std::string host = row.host == "@" ? "127.0.0.1:" + std::to_string(server.Port()) : row.host;
  const std::string url = "http://" + host + "/browser/updchk.ndf";
  const bool cancel = expected == "cancelled";  // once data arrives
  service.Settings() = TableSettings(expected == kReserve ? kReserveBytes : 0);
  ASSERT_TRUE(Fetch(url, cancel, row.limit));
  if (cancel) {
    service.CancelAsyncRead(url);
    // Its worker lets go of the file once its blocking read returns.
    EXPECT_TRUE(Pump([&] { return folder.Empty(); }, 5000)) << "the partial file stays";
  }
  const std::size_t delivered = seen.size();
  Pump([] { return false; }, 100);  // anything still on its way arrives
  std::string outcome = cancel ? "cancelled" : std::to_string(Last().ErrorNumber) + " " + Last().ErrorDescription;
  std::int32_t max = 0;
  const std::string stages = StagesOf(seen, max);
  if (!cancel && seen.back().second) {  // a file of the service's, in the folder, through each stage in order
    const std::wstring file = Widen(AsyncValue(Last()));
    const std::wstring name = file.substr(Widen(folder.Path()).size());
    EXPECT_TRUE(file.starts_with(Widen(folder.Path())) && std::regex_match(name, std::wregex(L"lkd[0-9a-f]{8}\\.tmp")))
        << Last().Path;
    EXPECT_TRUE(std::regex_match(stages, std::regex("1 (2 11 )+4 6 6="))) << stages;
    outcome = "=" + ReadFileBytes(Narrow(file)) + (max ? "" : " (no length)");
    if (watched->bytes != ReadFileBytes(Narrow(file))) outcome += " (the watcher saw other bytes)";
  } else if (!cancel) {
    EXPECT_TRUE(std::regex_match(stages, std::regex("1 ((2 )?11 )*(2 |4 )?0 "))) << stages;
  }
  EXPECT_EQ(InTableWords(outcome, folder.Path()) + (seen.size() > delivered ? " and more after the end" : ""),
            expected);
  if (expected.starts_with("=")) return;
  EXPECT_THROW(cancel ? service.CancelAsyncRead(url) : (void)AsyncValue(Last()), RuntimeError);
  EXPECT_TRUE(folder.Empty()) << "a file was left behind";
}

INSTANTIATE_TEST_SUITE_P(Table, FaultTest, ::testing::ValuesIn(ReadRowsFor(ReadService::WinInet)),
                         [](const auto& info) { return std::string(info.param.name); });

// The failures no loopback server brings about, worded from WinINet's numbers.
TEST(InetErrors, EachFailureHasItsNumberAndWords) {
  // clang-format off
  const std::pair<InetEnd, std::string> rows[] = {
      {{.error = ERROR_INTERNET_TIMEOUT}, "12002 The server could not be reached within 60 seconds."},
      {{.error = ERROR_INTERNET_SEC_CERT_CN_INVALID, .host = "h"}, "12038 The server's certificate could not be verified: it was issued for another name (h)."},
      {{.error = ERROR_INTERNET_CONNECTION_RESET}, "12030 The connection to the server failed: Connection reset by peer."},
      {{.error = ERROR_INTERNET_CONNECTION_ABORTED, .answered = true, .wait = {.connected = true}}, "12030 The server closed the connection before the download was complete."},
      {{.error = ERROR_HTTP_INVALID_SERVER_RESPONSE}, "12152 The server's answer could not be understood."},
      {{.error = ERROR_OUTOFMEMORY}, "12030 The download failed: " + InetErrorText(ERROR_OUTOFMEMORY) + "."}};
  // clang-format on
  const TransferRules rules(TransferSettings{}, "k", 0, "C:\\");
  for (const auto& [end, words] : rows) {
    const FetchFailure f = DescribeInetError(end, rules);
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
    other.AsyncRead("http://127.0.0.1:" + std::to_string(server.Port()) + "/", 1, "k", 16, 0, nullptr);
    ASSERT_TRUE(Pump([&] { return seen.size() >= 3; }, 5000));  // 1 2 11: the request is waiting for its answer
  }
  const std::size_t delivered = seen.size();
  EXPECT_TRUE(Pump([&] { return folder.Empty(); }, 5000)) << "the partial file stays";
  Pump([] { return false; }, 100);
  EXPECT_EQ(seen.size(), delivered);
}
}  // namespace
