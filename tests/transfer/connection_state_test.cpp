#include "transfer/connection_state.hpp"

#include <gtest/gtest.h>

#include <memory>

#include "fakes/fake_window.hpp"
#include "fakes/scoped_env.hpp"
#include "platform/posix/net_state.hpp"
#include "platform/posix/proxy_env.hpp"

namespace {
struct FlagRow {
  std::uint32_t flags;
  bool result;
  const char* lines;
};

void PrintTo(const FlagRow& r, std::ostream* os) { *os << "flags 0x" << std::hex << r.flags; }

class ConnectionFlagsTest : public ::testing::TestWithParam<FlagRow> {};

TEST_P(ConnectionFlagsTest, DescribesEachFlag) {
  FakeConnection service;
  service.flags = GetParam().flags;
  service.name = "wlan0";
  std::string info, name;
  EXPECT_EQ(ReadConnectionState(service, &info, &name), GetParam().result);
  EXPECT_EQ(info, GetParam().lines);
  EXPECT_EQ(name, "wlan0");
}

INSTANTIATE_TEST_SUITE_P(
    Table, ConnectionFlagsTest,
    ::testing::Values(
        FlagRow{0x52, true,
                "Connection Configured: Yes\r\nConnection Type: LAN\r\nProxy: No\r\nRAS Installed: Yes\r\nOffline "
                "Mode: Online"},
        FlagRow{0x02, false,
                "Connection Configured: No\r\nConnection Type: (not connected)\r\nProxy: No\r\nRAS Installed: "
                "No\r\nOffline Mode: Online"},
        FlagRow{0x41, true,
                "Connection Configured: Yes\r\nConnection Type: Modem\r\nProxy: No\r\nRAS Installed: No\r\nOffline "
                "Mode: Online"},
        FlagRow{0x01, false,
                "Connection Configured: No\r\nConnection Type: Modem\r\nProxy: No\r\nRAS Installed: No\r\nOffline "
                "Mode: Online"},
        FlagRow{0x40, true,
                "Connection Configured: Yes\r\nConnection Type: (not detected)\r\nProxy: No\r\nRAS Installed: "
                "No\r\nOffline Mode: Online"},
        FlagRow{0x43, true,
                "Connection Configured: Yes\r\nConnection Type: LAN\r\nProxy: No\r\nRAS Installed: No\r\nOffline "
                "Mode: Online"},
        FlagRow{0x64, true,
                "Connection Configured: Yes\r\nConnection Type: (not detected)\r\nProxy: Yes\r\nRAS Installed: "
                "No\r\nOffline Mode: Offline"},
        FlagRow{0x188, false,
                "Connection Configured: No\r\nConnection Type: (not detected)\r\nProxy: No\r\nRAS Installed: "
                "No\r\nOffline Mode: Online"}));

TEST(ConnectionStateTest, UnansweredCallGivesFalseAndEmptyTexts) {
  FakeConnection service;
  service.answers = false;
  std::string info = "old", name = "old";
  EXPECT_FALSE(ReadConnectionState(service, &info, &name));
  EXPECT_EQ(info, "");
  EXPECT_EQ(name, "");
  service.answers = true;
  EXPECT_TRUE(ReadConnectionState(service, nullptr, nullptr));
}

const char* kRouteHeader = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";

KernelNetState State(const std::string& routes, std::vector<NetInterface> interfaces) {
  KernelNetState s;
  s.ipv4Routes = kRouteHeader + routes;
  s.interfaces = std::move(interfaces);
  s.readable = true;
  return s;
}

TEST(KernelNetStateTest, DefaultRouteThroughAnInterfaceThatIsUpIsALan) {
  const auto c =
      ComputeConnectionFlags(State("eth0\t00000000\t0102A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
                                   "eth0\t0002A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n",
                                   {{"lo", 0x9}, {"eth0", 0x1003}}));
  EXPECT_TRUE(c.answered);
  EXPECT_EQ(c.flags, NetFlags::Configured | NetFlags::Lan);
  EXPECT_EQ(c.name, "eth0");
}

TEST(KernelNetStateTest, PointToPointDefaultRouteIsAModem) {
  const auto c = ComputeConnectionFlags(
      State("ppp0\t00000000\t00000000\t0001\t0\t0\t0\t00000000\t0\t0\t0\n", {{"lo", 0x9}, {"ppp0", 0x10d1}}));
  EXPECT_EQ(c.flags, NetFlags::Configured | NetFlags::Modem);
  EXPECT_EQ(c.name, "ppp0");
}

TEST(KernelNetStateTest, DefaultRouteOnAnInterfaceThatIsDownCountsForNothing) {
  const auto c = ComputeConnectionFlags(State("eth0\t00000000\t0102A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n",
                                              {{"lo", 0x9}, {"eth0", 0x1002}, {"wlan0", 0x1003}}));
  EXPECT_EQ(c.flags, 0u);
  EXPECT_EQ(c.name, "wlan0");  // an interface that is up, though without a way out
}

TEST(KernelNetStateTest, OnlyLoopbackUpIsOffline) {
  const auto c = ComputeConnectionFlags(State("", {{"lo", 0x9}, {"eth0", 0x1002}}));
  EXPECT_EQ(c.flags, NetFlags::Offline);
  EXPECT_EQ(c.name, "");
}

TEST(KernelNetStateTest, Ipv6DefaultRouteAndProxyAndDialUp) {
  KernelNetState s = State("", {{"lo", 0x9}, {"eth1", 0x1003}});
  s.ipv6Routes =
      "00000000000000000000000000000000 00 00000000000000000000000000000000 00 fe800000000000000000000000000001 "
      "00000400 00000001 00000000 00000003     eth1\n"
      "00000000000000000000000000000000 00 00000000000000000000000000000000 00 00000000000000000000000000000000 "
      "ffffffff 00000001 00000000 00200200       lo\n";
  s.proxyConfigured = true;
  s.dialUpInstalled = true;
  const auto c = ComputeConnectionFlags(s);
  EXPECT_EQ(c.flags, NetFlags::Configured | NetFlags::Lan | NetFlags::Proxy | NetFlags::RasInstalled);
  EXPECT_EQ(c.name, "eth1");
}

TEST(KernelNetStateTest, UnreadableTablesAreNoAnswer) {
  EXPECT_FALSE(ComputeConnectionFlags(KernelNetState{}).answered);
}

// The proxy a fetch from the update server goes through; the report says
// "Proxy" exactly then (the read service's table shows the fetch using it).
struct ProxyRow {
  std::vector<std::pair<const char*, const char*>> env;
  const char* host;
  const char* proxy;
};

void PrintTo(const ProxyRow& r, std::ostream* os) {
  for (const auto& [name, value] : r.env) *os << name << "=" << value << " ";
  *os << "for " << r.host;
}

class ProxyTest : public ::testing::TestWithParam<ProxyRow> {};

TEST_P(ProxyTest, TheReportAndTheFetchAgree) {
  std::vector<std::unique_ptr<ScopedEnv>> env;
  for (const char* name :
       {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"})
    env.push_back(std::make_unique<ScopedEnv>(name, nullptr));
  for (const auto& [name, value] : GetParam().env) env.push_back(std::make_unique<ScopedEnv>(name, value));
  EXPECT_EQ(HttpProxyFor(GetParam().host), GetParam().proxy);
  std::uint32_t flags = 0;
  char name[512];
  ASSERT_TRUE(PosixConnectionService(GetParam().host).InternetGetConnectedStateEx(&flags, name, sizeof name, 0));
  EXPECT_EQ((flags & NetFlags::Proxy) != 0, *GetParam().proxy != '\0');
}

INSTANTIATE_TEST_SUITE_P(
    Table, ProxyTest,
    ::testing::Values(ProxyRow{{}, "updates.example.com", ""},
                      ProxyRow{{{"http_proxy", "http://p1:3128"}}, "updates.example.com", "http://p1:3128"},
                      ProxyRow{{{"HTTP_PROXY", "p2:8080"}}, "updates.example.com", "p2:8080"},
                      ProxyRow{{{"HTTP_PROXY", "p2"}, {"http_proxy", "p1"}}, "updates.example.com", "p1"},
                      ProxyRow{{{"all_proxy", "socks5://p3"}}, "updates.example.com", "socks5://p3"},
                      ProxyRow{{{"https_proxy", "p4"}, {"HTTPS_PROXY", "p4"}}, "updates.example.com", ""},
                      ProxyRow{{{"http_proxy", "p1"}, {"no_proxy", "*"}}, "updates.example.com", ""},
                      ProxyRow{{{"http_proxy", "p1"}, {"no_proxy", "example.com"}}, "updates.example.com:80", ""},
                      ProxyRow{{{"http_proxy", "p1"}, {"NO_PROXY", ".EXAMPLE.com"}}, "example.com", ""},
                      ProxyRow{{{"http_proxy", "p1"}, {"no_proxy", "ample.com"}}, "updates.example.com", "p1"},
                      ProxyRow{{{"http_proxy", "p1"}, {"no_proxy", "localhost, 127.0.0.0/8"}}, "127.0.0.1:8731", ""},
                      ProxyRow{{{"http_proxy", "p1"}, {"no_proxy", "10.0.0.0/8,localhost"}}, "127.0.0.1:8731", "p1"},
                      ProxyRow{{{"http_proxy", "p1"}, {"no_proxy", "::1"}}, "[::1]:8731", ""}));
}  // namespace
