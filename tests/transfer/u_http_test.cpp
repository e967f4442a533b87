// The transfer control over a scripted read service: what it asks of the
// service and which events each notification raises, in which order.
#include "transfer/u_http.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>

#include "fakes/fake_transfer.hpp"
#include "fakes/fake_window.hpp"

namespace {
// Every event and every yield to the window, as one line each.
class EventLog : public IHttpEvents {
 public:
  std::vector<std::string> lines;
  void htp_HTTPError(const std::string& sKey, const std::string& sError) override {
    lines.push_back("HTTPError " + sKey + " " + sError);
  }
  void htp_StatusChange(const std::string& sKey, std::int32_t lStatus) override {
    lines.push_back("StatusChange " + sKey + " " + std::to_string(lStatus));
  }
  void htp_DownloadComplete(const std::string& sKey, std::int32_t lType, const std::string& vData) override {
    lines.push_back("DownloadComplete " + sKey + " " + std::to_string(lType) + " " + vData);
  }
  void htp_ProgressChange(const std::string& sKey, float lProgress, float lProgressMax) override {
    std::ostringstream s;
    s.precision(12);
    s << "ProgressChange " << sKey << " " << lProgress << " " << lProgressMax;
    lines.push_back(s.str());
  }
};

class HttpControlTest : public ::testing::Test {
 protected:
  HttpControlTest() {
    events.onDoEvents = [this] { log.lines.push_back("DoEvents"); };
  }
  FakeAsyncReadService reader;
  FakeConnection connection;
  FakeEventLoop events;
  EventLog log;
  uHttp htp{reader, connection, events, log};
};

using Lines = std::vector<std::string>;

TEST_F(HttpControlTest, DownloadAsksForAFreshLocalFileUnderTheKey) {
  EXPECT_TRUE(htp.Download("http://h/a.ndf", "key-a"));
  ASSERT_EQ(reader.reads.size(), 1u);
  EXPECT_EQ(reader.reads[0].target, "http://h/a.ndf");
  EXPECT_EQ(reader.reads[0].asyncType, 1);
  EXPECT_EQ(reader.reads[0].propertyName, "key-a");
  EXPECT_EQ(reader.reads[0].options, 16);
  EXPECT_TRUE(log.lines.empty());
  EXPECT_EQ(reader.handler, &htp);
}

TEST_F(HttpControlTest, DownloadThatCannotStartRaisesHTTPErrorBeforeReturningFalse) {
  reader.refuseStart = true;
  reader.refuseDescription = "The address is not an http:// address: ftp://h/a";
  Lines duringCall;
  const bool started = htp.Download("ftp://h/a", "k");
  duringCall = log.lines;
  EXPECT_FALSE(started);
  EXPECT_EQ(duringCall, Lines{"HTTPError k The address is not an http:// address: ftp://h/a"});
  // Nothing is cancelled and nothing else is raised.
  EXPECT_TRUE(reader.cancels.empty());
}

TEST_F(HttpControlTest, DisconnectCancelsTheFetchAndAlwaysReturnsFalse) {
  htp.Download("http://h/a", "k");
  EXPECT_FALSE(htp.Disconnect("k"));
  EXPECT_EQ(reader.cancels, Lines{"k"});
  EXPECT_TRUE(reader.running.empty());
}

TEST_F(HttpControlTest, DisconnectWithNoFetchIgnoresTheServicesErrorAndReturnsFalse) {
  bool result = true;
  EXPECT_NO_THROW(result = htp.Disconnect("nothing"));
  EXPECT_FALSE(result);
  EXPECT_EQ(reader.cancels, Lines{"nothing"});
  EXPECT_TRUE(log.lines.empty());
}

// One service status code and what it raises before the progress figures.
struct MapRow {
  std::int32_t code;
  std::optional<std::int32_t> status;
};

void PrintTo(const MapRow& r, std::ostream* os) { *os << "code " << r.code; }

class StatusMappingTest : public HttpControlTest, public ::testing::WithParamInterface<MapRow> {};

TEST_P(StatusMappingTest, RaisesTheMappedStatusThenTheFiguresThenYields) {
  htp.Download("http://h/a", "k");
  reader.Progress("k", GetParam().code, 10, 20);
  Lines expected;
  if (GetParam().status) expected.push_back("StatusChange k " + std::to_string(*GetParam().status));
  expected.push_back("ProgressChange k 10 20");
  expected.push_back("DoEvents");
  EXPECT_EQ(log.lines, expected);
}

INSTANTIATE_TEST_SUITE_P(Table, StatusMappingTest,
                         ::testing::Values(MapRow{1, 2}, MapRow{2, std::nullopt}, MapRow{4, 3}, MapRow{6, 4},
                                           MapRow{11, 1}, MapRow{3, std::nullopt}, MapRow{5, std::nullopt},
                                           MapRow{7, std::nullopt}, MapRow{8, std::nullopt}, MapRow{9, std::nullopt},
                                           MapRow{10, std::nullopt}, MapRow{12, std::nullopt}, MapRow{13, std::nullopt},
                                           MapRow{40, std::nullopt}, MapRow{-1, std::nullopt}));

TEST(HttpStatusMap, MapStatusTable) {
  EXPECT_EQ(uHttp::MapStatus(1), 2);
  EXPECT_EQ(uHttp::MapStatus(2), 0);
  EXPECT_EQ(uHttp::MapStatus(4), 3);
  EXPECT_EQ(uHttp::MapStatus(6), 4);
  EXPECT_EQ(uHttp::MapStatus(11), 1);
  for (std::int32_t other : {3, 5, 7, 8, 9, 10, 12, 100}) EXPECT_EQ(uHttp::MapStatus(other), 0) << other;
}

TEST_F(HttpControlTest, StagesAreRaisedInWhateverOrderTheServiceReportsThem) {
  htp.Download("http://h/a", "k");
  for (std::int32_t code : {11, 2, 1}) reader.Progress("k", code);
  EXPECT_EQ(log.lines, (Lines{"StatusChange k 1", "ProgressChange k 0 0", "DoEvents", "ProgressChange k 0 0",
                              "DoEvents", "StatusChange k 2", "ProgressChange k 0 0", "DoEvents"}));
}

TEST_F(HttpControlTest, WithoutAnAnnouncedSizeEveryProgressIsZeroOfZero) {
  htp.Download("http://h/a", "k");
  reader.Progress("k", 4, 0, 0);
  reader.Progress("k", 5, 4096, 0);
  reader.Progress("k", 5, 9000, -1);
  reader.Progress("k", 6, 12000, 0);
  EXPECT_EQ(log.lines,
            (Lines{"StatusChange k 3", "ProgressChange k 0 0", "DoEvents", "ProgressChange k 0 0", "DoEvents",
                   "ProgressChange k 0 0", "DoEvents", "StatusChange k 4", "ProgressChange k 0 0", "DoEvents"}));
}

TEST_F(HttpControlTest, FiguresAreHandedOnAs32BitFloats) {
  htp.Download("http://h/a", "k");
  reader.Progress("k", 5, 16777217, 2147483647);
  // 2^24 + 1 and 2^31 - 1 have no exact 32-bit float: the nearest ones.
  EXPECT_EQ(log.lines[0], "ProgressChange k 16777216 2147483648");
}

TEST_F(HttpControlTest, ErrorStatusCancelsThenRaisesStoppedAndTheErrorOnceWithoutFiguresOrYield) {
  htp.Download("http://h/a", "k");
  reader.Fail("k", 12007, "The server name or address could not be resolved");
  EXPECT_EQ(log.lines, (Lines{"StatusChange k 5", "HTTPError k The server name or address could not be resolved"}));
  EXPECT_EQ(reader.cancels, Lines{"k"});
  EXPECT_TRUE(reader.running.empty());
  EXPECT_EQ(events.doEvents, 0);
}

TEST_F(HttpControlTest, ErrorCancelledInsideTheHandlerStillReportsOnce) {
  // The service may already have ended the fetch: the cancel's error is ignored.
  htp.Download("http://h/a", "k");
  reader.running.clear();
  AsyncProperty p;
  p.PropertyName = "k";
  p.StatusCode = AsyncStatus::Error;
  p.Failed = true;
  p.ErrorDescription = "The handle is invalid.";
  htp.AsyncReadProgress(p);
  EXPECT_EQ(log.lines, (Lines{"StatusChange k 5", "HTTPError k The handle is invalid."}));
}

TEST_F(HttpControlTest, CompletionHandsOnTheKindAndTheLocalPath) {
  htp.Download("http://h/a", "k");
  reader.Complete("k", "Z:\\tmp\\lkd123.tmp");
  EXPECT_EQ(log.lines, Lines{"DownloadComplete k 1 Z:\\tmp\\lkd123.tmp"});
  EXPECT_TRUE(reader.cancels.empty());
}

TEST_F(HttpControlTest, CompletionReportsTheDeliveryKindItWasGiven) {
  htp.Download("http://h/a", "k");
  reader.Complete("k", "in memory", 0);
  EXPECT_EQ(log.lines, Lines{"DownloadComplete k 0 in memory"});
}

TEST_F(HttpControlTest, CompletionWithoutDataRaisesOnlyTheErrorAndCancelsNothing) {
  htp.Download("http://h/a", "k");
  reader.CompleteWithError("k", 12030, "The connection with the server was terminated abnormally");
  EXPECT_EQ(log.lines, Lines{"HTTPError k The connection with the server was terminated abnormally"});
  EXPECT_TRUE(reader.cancels.empty());
  EXPECT_EQ(events.doEvents, 0);
}

TEST_F(HttpControlTest, EventsCarryTheKeyOfTheirOwnFetch) {
  htp.Download("http://h/a", "first");
  htp.Download("http://h/b", "second");
  reader.Progress("second", 1);
  reader.Progress("first", 11);
  EXPECT_EQ(log.lines[0], "StatusChange second 2");
  EXPECT_EQ(log.lines[3], "StatusChange first 1");
}

TEST_F(HttpControlTest, WidthAndHeightKeepWholeValues) {
  htp.Width(4800);
  htp.Height(-15);
  EXPECT_EQ(htp.Width(), 4800);
  EXPECT_EQ(htp.Height(), -15);
  EXPECT_FALSE(htp.DesignLabelVisible());
}

TEST_F(HttpControlTest, ConnectionStateAsksThePlatformEachTime) {
  connection.flags = 0x41;
  std::string info, name;
  EXPECT_TRUE(htp.ConnectionState(&info, &name));
  EXPECT_EQ(name, "eth0");
  EXPECT_NE(info.find("Connection Type: Modem"), std::string::npos);
  connection.answers = false;
  EXPECT_FALSE(htp.ConnectionState());
  EXPECT_EQ(connection.calls, 2);
}

TEST(HttpControlLifetime, TheControlLeavesTheServiceWhenItGoes) {
  FakeAsyncReadService reader;
  FakeConnection connection;
  FakeEventLoop events;
  EventLog log;
  {
    uHttp htp(reader, connection, events, log);
    EXPECT_EQ(reader.handler, &htp);
  }
  EXPECT_EQ(reader.handler, nullptr);
}
}  // namespace
