// The road of one update and its failure roads, end to end: a real nginx
// serving a tree made by the publishing tool, the real window under the
// offscreen platform, a private session bus, the desktop opener replaced by
// a script that records what it was given.
#include "road.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <filesystem>
#include <fstream>

#include "fakes/nginx_server.hpp"
#include "fakes/private_bus.hpp"
#include "support/diagnostics.hpp"

namespace {
class Environment : public ::testing::Environment {
 public:
  void SetUp() override {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // The roads of a session without a bus run in a process of their own.
    if (std::getenv("LARKSPIRE_TEST_NO_BUS"))
      unsetenv("DBUS_SESSION_BUS_ADDRESS");
    else
      bus_ = std::make_unique<PrivateSessionBus>();
    static int argc = 1;
    static char name[] = "e2e_tests";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override {
    app_.reset();
    bus_.reset();
  }

 private:
  std::unique_ptr<PrivateSessionBus> bus_;
  std::unique_ptr<QApplication> app_;
};
[[maybe_unused]] ::testing::Environment* const kEnvironment = ::testing::AddGlobalTestEnvironment(new Environment);

// Counts the broadcasts of the registered message on the session bus.
class BroadcastCounter : public QObject {
  Q_OBJECT
 public:
  BroadcastCounter() {
    bus_ = std::make_unique<QDBusConnection>(
        QDBusConnection::connectToBus(QString::fromLocal8Bit(qgetenv("DBUS_SESSION_BUS_ADDRESS")), "e2e-listener"));
    bus_->connect(QString(), kBroadcastPath, kBroadcastInterface, kBroadcastMember, this,
                  SLOT(OnMessage(QDBusMessage)));
  }
  ~BroadcastCounter() override {
    bus_.reset();
    QDBusConnection::disconnectFromBus("e2e-listener");
  }
  int count = 0;
  std::uint64_t lastWParam = 0;
 public slots:
  void OnMessage(const QDBusMessage& m) {
    ++count;
    lastWParam = m.arguments().value(1).toULongLong();
  }

 private:
  std::unique_ptr<QDBusConnection> bus_;
};

std::string RunCommand(const std::string& command) {
  std::string out;
  if (FILE* p = popen((command + " 2>&1").c_str(), "r")) {
    char buf[4096];
    while (size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    const int rc = pclose(p);
    if (rc != 0) out = "FAILED(" + std::to_string(rc) + "): " + out;
  }
  return out;
}

class RoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sandbox = std::make_unique<TempDir>();
    server = std::make_unique<TempDir>();
    packages = std::make_unique<TempDir>();
    Road::SeedRegistry(sandbox->Native(), "3.02.0012",
                       {{"rillgauge", "1.04.0020"}, {"quillon", "2.01.0003"}, {"qvmclock", "1.00.0001"}});
    // The opener records the file it was asked to open.
    opener = sandbox->File("opener.sh");
    WriteFileBytes(opener, "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + sandbox->File("opened.txt") + "'\n");
    std::filesystem::permissions(opener, std::filesystem::perms::owner_all);
    setenv("LARKSPIRE_OPENER", opener.c_str(), 1);
    nginx = std::make_unique<NginxServer>(server->Native());
    package = packages->File("Larkspire-Setup.MSI");
    WriteFileBytes(package, std::string(300000, 'p') + "larkspire setup package");
  }

  void TearDown() override {
    road.reset();
    // Nothing of ours is left in the temporary folder.
    if (sandbox)
      for (const std::string& name : FilesIn(sandbox->Native() + "/tmp")) ADD_FAILURE() << "left behind: " << name;
    unsetenv("LARKSPIRE_OPENER");
  }

  std::string Publish(const std::string& extra) {
#ifdef LARKSPIRE_PUBLISH
    return RunCommand(std::string(LARKSPIRE_PUBLISH) + " --package '" + package + "' --base-url http://" +
                      nginx->Host() + "/downloads/ --out '" + server->Native() + "' " + extra);
#else
    return "FAILED: the publishing tool was not built";
#endif
  }

  Road& Open() {
    road = std::make_unique<Road>(sandbox->Native(), nginx->Host());
    road->Start();
    return *road;
  }

  // Welcome, Next, Preparing, Next: the check runs until the result page.
  void CheckForUpdates() {
    Road& r = *road;
    EXPECT_EQ(r.Form().CurrentPage, PageWelcome);
    r.Click(Ctl::Cmd1);
    EXPECT_EQ(r.Form().CurrentPage, PagePrepare);
    r.Click(Ctl::Cmd1);
    ASSERT_TRUE(r.WaitFor([&] { return r.Form().CurrentPage == PageResult; })) << r.Caption(Ctl::Label1_3);
  }

  std::string Opened() { return ReadFileBytes(sandbox->File("opened.txt")); }

  // Welcome to Ready to Install: the check, Next, the download and the check
  // of the package.
  void DownloadTheUpdate() {
    ASSERT_EQ(Publish("--component larkspire=3.03.0000"), "");
    Open();
    CheckForUpdates();
    road->Click(Ctl::Cmd1);
    ASSERT_TRUE(road->WaitFor([&] { return road->Form().CurrentPage == PageReady; }))
        << road->Caption(Ctl::Label1_3) << " / " << (road->ErrorDialogs().empty() ? "" : road->ErrorDialogs()[0]);
  }

  std::unique_ptr<TempDir> sandbox, server, packages;
  std::unique_ptr<NginxServer> nginx;
  std::unique_ptr<Road> road;
  std::string opener, package;
};

TEST_F(RoadTest, UpdatesAvailableThroughToInstall) {
  ASSERT_EQ(Publish("--component larkspire=3.03.0000 --component quillon=2.02.0000,exename=Quillon.EXE "
                    "--component rillgauge=1.04.0020 --component palvetta=1.00.0001"),
            "");
  BroadcastCounter broadcasts;
  Road& r = Open();
  CheckForUpdates();
  EXPECT_EQ(r.Caption(Ctl::Label1_4)
                .rfind("Larkspire AutoUpdate has determined that the following Larkspire components "
                       "can be updated.\r\n\r\nlarkspire\r\nquillon.exe\r\npalvetta\r\n\r\n\r\n",
                       0),
            0u);
  EXPECT_TRUE(r.Enabled(Ctl::Cmd1));
  r.Click(Ctl::Cmd1);
  EXPECT_EQ(r.Form().CurrentPage, PageDownload);
  ASSERT_TRUE(r.WaitFor([&] { return r.Form().CurrentPage == PageReady; })) << r.Caption(Ctl::Label1_3);
  EXPECT_EQ(r.Caption(Ctl::Cmd1), "Install");
  const std::string copy = r.ProductFolder() + "/larkspire-setup.msi";
  EXPECT_EQ(ReadFileBytes(copy), ReadFileBytes(package));
  EXPECT_EQ(FilesIn(r.ProductFolder()), std::vector<std::string>{"larkspire-setup.msi"});
  r.Click(Ctl::Cmd1);
  EXPECT_TRUE(r.Window().Unloaded());
  // The opener runs on its own; the wizard does not wait for it.
  ASSERT_TRUE(r.WaitFor([&] { return !Opened().empty(); }, 10000));
  EXPECT_EQ(Opened(), copy + "\n");
  ASSERT_TRUE(r.WaitFor([&] { return broadcasts.count >= 2; }, 5000));
  EXPECT_EQ(broadcasts.count, 2);
  EXPECT_EQ(broadcasts.lastWParam, 1000u);
  EXPECT_TRUE(r.ErrorDialogs().empty());
  EXPECT_TRUE(r.Boxes().shown.empty());
}

TEST_F(RoadTest, UpToDate) {
  ASSERT_EQ(Publish("--component larkspire=3.02.0012 --component quillon=2.01.0003"), "");
  Road& r = Open();
  CheckForUpdates();
  EXPECT_EQ(r.Caption(Ctl::Cmd2), "Finished");
  EXPECT_FALSE(r.Enabled(Ctl::Cmd1));
  EXPECT_NE(r.Caption(Ctl::Label1_4).find("Congratulations!"), std::string::npos);
  r.Click(Ctl::Cmd2);
  EXPECT_TRUE(r.Window().Unloaded());
  EXPECT_TRUE(r.Boxes().shown.empty());
  EXPECT_TRUE(FilesIn(r.ProductFolder()).empty());
}

TEST_F(RoadTest, NotAvailable) {
  ASSERT_EQ(Publish("--component larkspire=3.03.0000 --disable-setup"), "");
  Road& r = Open();
  CheckForUpdates();
  EXPECT_EQ(r.Caption(Ctl::Cmd2), "Finished");
  EXPECT_EQ(r.Caption(Ctl::Label1_4).rfind("Larkspire AutoUpdate is not available at this time.", 0), 0u);
}

TEST_F(RoadTest, UpdateErrorThenNextChecksAgain) {
  ASSERT_EQ(Publish("--component larkspire=3.03.0000"), "");
  const std::string catalog = server->File("browser/updchk.ndf");
  const std::string good = ReadFileBytes(catalog);
  WriteFileBytes(catalog, good + "\r\n");  // its size no longer matches
  Road& r = Open();
  CheckForUpdates();
  EXPECT_TRUE(r.Form().RecheckPending);
  EXPECT_NE(r.Caption(Ctl::Label1_4).find("It may have been corrupted during download."), std::string::npos);
  WriteFileBytes(catalog, good);
  r.Click(Ctl::Cmd1);
  EXPECT_EQ(r.Form().CurrentPage, PageRecheck);
  ASSERT_TRUE(r.WaitFor([&] { return r.Form().CurrentPage == PageResult; }));
  EXPECT_FALSE(r.Form().RecheckPending);
  EXPECT_NE(r.Caption(Ctl::Label1_4).find("larkspire\r\n"), std::string::npos);
}

TEST_F(RoadTest, CorruptPackageThenRetrySucceeds) {
  ASSERT_EQ(Publish("--component larkspire=3.03.0000"), "");
  const std::string served = server->File("downloads/larkspire-setup.msi");
  const std::string good = ReadFileBytes(served);
  std::string bad = good;
  bad[1000] ^= 1;
  WriteFileBytes(served, bad);
  Road& r = Open();
  CheckForUpdates();
  r.Click(Ctl::Cmd1);
  ASSERT_TRUE(r.WaitFor([&] { return !r.ErrorDialogs().empty(); }));
  EXPECT_EQ(r.ErrorDialogs()[0], "The downloaded file was corrupt.");
  EXPECT_EQ(r.Caption(Ctl::Label1_3), "Download stopped");
  EXPECT_TRUE(r.Enabled(Ctl::cmdLoad1));
  EXPECT_FALSE(r.Enabled(Ctl::cmdLoad0));
  EXPECT_TRUE(FilesIn(r.ProductFolder()).empty());
  WriteFileBytes(served, good);
  r.Click(Ctl::cmdLoad1);
  ASSERT_TRUE(r.WaitFor([&] { return r.Form().CurrentPage == PageReady; })) << r.Caption(Ctl::Label1_3);
  EXPECT_EQ(FilesIn(r.ProductFolder()), std::vector<std::string>{"larkspire-setup.msi"});
}

TEST_F(RoadTest, ServerGoneMidway) {
  ASSERT_EQ(Publish("--component larkspire=3.03.0000"), "");
  Road& r = Open();
  CheckForUpdates();
  nginx->Stop();
  r.Click(Ctl::Cmd1);
  ASSERT_TRUE(r.WaitFor([&] { return !r.ErrorDialogs().empty(); }));
  EXPECT_EQ(r.ErrorDialogs()[0], "The server refused the connection.");
  EXPECT_EQ(r.Caption(Ctl::Label1_3), "Download stopped");
  EXPECT_FALSE(r.Enabled(Ctl::Cmd0));
  EXPECT_FALSE(r.Enabled(Ctl::Cmd1));
  EXPECT_TRUE(r.Enabled(Ctl::Cmd2));
  EXPECT_TRUE(FilesIn(r.ProductFolder()).empty());
}

TEST_F(RoadTest, StopHalfwayThenRetry) {
  WriteFileBytes(package, std::string(3 << 20, 'q'));
  ASSERT_EQ(Publish("--component larkspire=3.03.0000"), "");
  Road& r = Open();
  CheckForUpdates();
  WriteFileBytes(server->File(".slow"), "");
  r.Click(Ctl::Cmd1);
  ASSERT_TRUE(r.WaitFor([&] { return !r.Caption(Ctl::lblInfo0).empty(); })) << r.Caption(Ctl::Label1_3);
  r.Boxes().answers = {Mb::No};
  ASSERT_TRUE(r.Enabled(Ctl::cmdLoad0)) << r.Caption(Ctl::Label1_3) << " / " << r.Caption(Ctl::lblInfo0);
  r.Click(Ctl::cmdLoad0);
  ASSERT_EQ(r.Boxes().shown.size(), 1u);
  EXPECT_EQ(r.Boxes().shown.back().prompt, "Are you sure you want to stop this download?");
  EXPECT_NE(r.Caption(Ctl::Label1_3), "Download stopped");
  r.Boxes().answers = {Mb::Yes};
  r.Click(Ctl::cmdLoad0);
  EXPECT_EQ(r.Caption(Ctl::Label1_3), "Download stopped");
  EXPECT_TRUE(FilesIn(r.TempFolder()).empty());
  std::filesystem::remove(server->File(".slow"));
  r.Click(Ctl::cmdLoad1);
  ASSERT_TRUE(r.WaitFor([&] { return r.Form().CurrentPage == PageReady; })) << r.Caption(Ctl::Label1_3);
}

TEST_F(RoadTest, CancelAsksOnEachPageAndNoKeepsTheWizard) {
  ASSERT_EQ(Publish("--component larkspire=3.03.0000"), "");
  Road& r = Open();
  r.Click(Ctl::Cmd1);  // Preparing
  r.Boxes().answers = {Mb::No};
  r.Click(Ctl::Cmd2);
  EXPECT_EQ(r.Boxes().shown.size(), 1u);
  EXPECT_FALSE(r.Window().Unloaded());
  r.Click(Ctl::Cmd1);
  ASSERT_TRUE(r.WaitFor([&] { return r.Form().CurrentPage == PageResult; }));
  r.Boxes().answers = {Mb::No};
  r.Click(Ctl::Cmd2);
  EXPECT_EQ(r.Boxes().shown.size(), 2u);
  EXPECT_EQ(r.Form().CurrentPage, PageResult);
  r.Click(Ctl::Cmd1);
  ASSERT_TRUE(r.WaitFor([&] { return r.Form().CurrentPage == PageReady; }));
  r.Boxes().answers = {Mb::No};
  r.Click(Ctl::Cmd2);
  EXPECT_EQ(r.Boxes().shown.size(), 3u);
  EXPECT_FALSE(r.Window().Unloaded());
  r.Boxes().answers = {Mb::Yes};
  r.Click(Ctl::Cmd2);
  EXPECT_EQ(r.Boxes().shown.size(), 4u);
  EXPECT_TRUE(r.Window().Unloaded());
  EXPECT_TRUE(Opened().empty());
}

// The log lines written while a road runs.
std::vector<std::string>& LogLines() {
  static std::vector<std::string> lines;
  return lines;
}
void RecordLine(LogArea area, LogLevel, std::string_view line) {
  LogLines().push_back(std::string(LogAreaName(area)) + ": " + std::string(line));
}
bool Logged(const std::string& part) {
  for (const std::string& line : LogLines())
    if (line.find(part) != std::string::npos) return true;
  return false;
}

// What a Linux user meets that a Windows user never would. Each row sets
// the user's situation up before the wizard starts, then says where the
// road ends: at Ready to Install with the package in a folder, at the
// download-error dialog, or with a message box.
struct Situation {
  const char* name;
  // "App Path" as stored; "@product" is the sandbox's product folder,
  // "@locked" a product folder the wizard may not write.
  std::string appPath = "@product";
  std::string opener = "printf '%s\\n' \"$1\" >> \"$(dirname \"$0\")/opened.txt\"";
  std::string registryText{};  // replaces the registry file when given
  // Where the road ends.
  std::string copiedInto{};   // "@data": the user's own data folder; "@product"
  std::string errorDialog{};  // the download-error dialog's text
  std::string box{};          // a message box's text
  int exitStatus = ExitStatus::Success;
  std::string logged{};  // a part of a line in the log
};

void PrintTo(const Situation& s, std::ostream* os) { *os << s.name; }

class LinuxUserRoad : public RoadTest, public ::testing::WithParamInterface<Situation> {
 protected:
  void SetUp() override {
    RoadTest::SetUp();
    LogLines().clear();
    SetLogSink(RecordLine);
    data = std::make_unique<TempDir>();
    setenv("XDG_DATA_HOME", data->Native().c_str(), 1);
    const Situation& s = GetParam();
    std::string appPath = s.appPath;
    if (appPath == "@product") appPath = sandbox->Native() + "/product";
    if (appPath == "@locked") appPath = LockedFolder();
    if (appPath == "@unicode") appPath = UnicodeFolder();
    locked = s.appPath == "@locked" ? appPath : "";
    std::filesystem::remove(sandbox->File("config/larkspire/registry.reg"));
    Road::SeedRegistry(sandbox->Native(), "3.02.0012", {{"quillon", "2.01.0003"}}, appPath);
    if (!s.registryText.empty()) WriteFileBytes(sandbox->File("config/larkspire/registry.reg"), s.registryText);
    WriteFileBytes(opener, "#!/bin/sh\n" + s.opener + "\n");
  }
  void TearDown() override {
    SetLogSink(nullptr);
    unsetenv("XDG_DATA_HOME");
    if (!locked.empty() && locked.starts_with(sandbox->Native()))
      std::filesystem::permissions(locked, std::filesystem::perms::owner_all);
    RoadTest::TearDown();
  }

  // A folder the user cannot write: its write permission taken away, or,
  // for root (whom permissions do not stop), a folder of the kernel's.
  std::string LockedFolder() {
    if (geteuid() == 0) return "/sys/kernel";
    const std::string folder = sandbox->File("locked");
    std::filesystem::create_directories(folder);
    std::filesystem::permissions(folder, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    return folder;
  }

  // A home and a product folder named in scripts Windows-1252 cannot hold.
  std::string UnicodeFolder() {
    const std::string folder = sandbox->File("home/łukasz/Программы");
    std::filesystem::create_directories(folder);
    return folder;
  }

  std::unique_ptr<TempDir> data;
  std::string locked;
};

TEST_P(LinuxUserRoad, EndsAsTheUserExpects) {
  const Situation& s = GetParam();
  if (s.exitStatus == ExitStatus::NotInstalled) {
    EXPECT_THROW(Open(), ProgramEnded);
  } else if (!s.errorDialog.empty()) {
    ASSERT_EQ(Publish("--component larkspire=3.03.0000"), "");
    Open();
    CheckForUpdates();
    road->Click(Ctl::Cmd1);
    ASSERT_TRUE(road->WaitFor([&] { return !road->ErrorDialogs().empty(); }));
    EXPECT_EQ(road->ErrorDialogs()[0], s.errorDialog == "@locked"
                                           ? "The update could not be copied to " + locked + ": Permission denied."
                                           : s.errorDialog);
    EXPECT_EQ(road->Caption(Ctl::Label1_3), "Download stopped");
    EXPECT_TRUE(road->Enabled(Ctl::cmdLoad1));  // Retry
  } else {
    DownloadTheUpdate();
    if (HasFatalFailure()) return;
    const std::string folder = s.copiedInto == "@data"      ? data->Native() + "/larkspire"
                               : s.copiedInto == "@unicode" ? UnicodeFolder()
                                                            : road->ProductFolder();
    EXPECT_EQ(FilesIn(folder), std::vector<std::string>{"larkspire-setup.msi"});
    road->Click(Ctl::Cmd1);  // Install
    EXPECT_TRUE(road->Window().Unloaded());
    if (s.box.empty()) {
      EXPECT_EQ(Opened(), folder + "/larkspire-setup.msi\n");
    }
  }
  if (s.box.empty()) {
    EXPECT_TRUE(road->Boxes().shown.empty());
  } else {
    ASSERT_EQ(road->Boxes().shown.size(), 1u);
    EXPECT_EQ(road->Boxes().shown[0].prompt, s.box);
  }
  const int status = road->Process().endCount ? road->Process().lastExitStatus : road->Form().ExitCode();
  EXPECT_EQ(status, s.exitStatus);
  if (!s.logged.empty()) {
    EXPECT_TRUE(Logged(s.logged)) << ::testing::PrintToString(LogLines());
  }
}

std::string Name(const ::testing::TestParamInfo<Situation>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(
    Situations, LinuxUserRoad,
    ::testing::Values(
        Situation{.name = "NoAppPathGoesToTheUsersOwnFolder",
                  .appPath = "",
                  .copiedInto = "@data",
                  .logged = "larkspire.startup: \"App Path\" is not set"},
        Situation{.name = "WindowsAppPathGoesToTheUsersOwnFolder",
                  .appPath = "C:\\Program Files\\Larkspire",
                  .copiedInto = "@data",
                  .logged = "C:\\Program Files\\Larkspire\" is no folder here"},
        Situation{.name = "ReadOnlyProductFolderSaysWhy",
                  .appPath = "@locked",
                  .errorDialog = "@locked",
                  .logged = "larkspire.install: The update could not be copied to"},
        Situation{.name = "FailingOpenerShowsTheRunFailure",
                  .opener = "echo 'no handler for this type' >&2; exit 3",
                  .box = "An error has occurred while attempting to run install program.\r\nPlease rerun Larkspire "
                         "AutoUpdate.",
                  .exitStatus = ExitStatus::HandOverFailed,
                  .logged = "exit status 3"},
        Situation{
            .name = "BrokenRegistryFileSaysWhereAndEndsNonZero",
            .registryText = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software]\n\"x\"=bogus\n",
            .box = "Larkspire was either not installed or not\r\ninstalled properly. Please reinstall "
                   "Larkspire.\r\n\r\nCannot continue with update.",
            .exitStatus = ExitStatus::NotInstalled,
            .logged = "registry.reg: line 4"},
        Situation{.name = "ProductFolderInAnyScript", .appPath = "@unicode", .copiedInto = "@unicode"}),
    Name);

// A session without a bus (ssh, sudo, a minimal desktop): nobody can be
// listening, and the road goes on. Run by CTest in a process without a bus.
TEST_F(RoadTest, NoSessionBusCompletes) {
  ASSERT_EQ(std::getenv("DBUS_SESSION_BUS_ADDRESS"), nullptr) << "run with LARKSPIRE_TEST_NO_BUS=1";
  DownloadTheUpdate();
  if (HasFatalFailure()) return;
  road->Click(Ctl::Cmd1);
  EXPECT_TRUE(road->Window().Unloaded());
  EXPECT_EQ(Opened(), road->ProductFolder() + "/larkspire-setup.msi\n");
  EXPECT_TRUE(road->Boxes().shown.empty());
  EXPECT_EQ(road->Form().ExitCode(), ExitStatus::Success);
}
}  // namespace

#include "road_test.moc"
