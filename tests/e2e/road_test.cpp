// The road of one update and its failure roads, end to end: a real nginx
// serving a tree made by the publishing tool, the real window under the
// offscreen platform, a private session bus, the desktop opener replaced by
// a script that records what it was given.
#include "road.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "fakes/nginx_server.hpp"
#include "support/diagnostics.hpp"

namespace {
// The output of a command; "FAILED(status): output" when it fails.
std::string RunCommand(const std::string& command) {
  std::string out;
  if (FILE* p = popen((command + " 2>&1").c_str(), "r")) {
    char buf[4096];
    while (size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    if (const int rc = pclose(p)) out = "FAILED(" + std::to_string(rc) + "): " + out;
  }
  return out;
}

class RoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Road::SeedRegistry(sandbox.Native(), "3.02.0012", {{"rillgauge", "1.04.0020"}, {"quillon", "2.01.0003"}});
    // The opener records the file it was asked to open.
    WriteFileBytes(opener, "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + sandbox.File("opened.txt") + "'\n");
    std::filesystem::permissions(opener, std::filesystem::perms::owner_all);
    setenv("LARKSPIRE_OPENER", opener.c_str(), 1);
    WriteFileBytes(package, std::string(300000, 'p') + "larkspire setup package");
  }

  void TearDown() override {
    road.reset();
    // Nothing of ours is left in the temporary folder.
    for (const std::string& name : FilesIn(sandbox.Native() + "/tmp")) ADD_FAILURE() << "left behind: " << name;
    unsetenv("LARKSPIRE_OPENER");
  }

  std::string Publish(const std::string& components) {
    return RunCommand(std::string(LARKSPIRE_PUBLISH) + " --package '" + package + "' --base-url http://" +
                      nginx.Host() + "/downloads/ --out '" + server.Native() + "' " + components);
  }

  Road& Open() {
    road = std::make_unique<Road>(sandbox.Native(), nginx.Host());
    road->Start();
    return *road;
  }

  bool WaitForPage(int page) {
    return road->WaitFor([&] { return road->Form().CurrentPage == page || !road->ErrorDialogs().empty(); }) &&
           road->Form().CurrentPage == page;
  }

  // Welcome, Next, Preparing, Next: the check runs until the result page.
  void CheckForUpdates() {
    road->Click(Ctl::Cmd1);
    road->Click(Ctl::Cmd1);
    ASSERT_TRUE(WaitForPage(PageResult)) << road->Caption(Ctl::Label1_3);
  }

  // Welcome to Ready to Install: the check, Next, the download and the check of the package.
  void DownloadTheUpdate() {
    ASSERT_EQ(Publish("--component larkspire=3.03.0000"), "");
    Open();
    CheckForUpdates();
    road->Click(Ctl::Cmd1);
    ASSERT_TRUE(WaitForPage(PageReady)) << road->Caption(Ctl::Label1_3) << " / "
                                        << ::testing::PrintToString(road->ErrorDialogs());
  }

  std::string Opened() { return ReadFileBytes(sandbox.File("opened.txt")); }

  TempDir sandbox, server, packages;
  NginxServer nginx{server.Native()};
  std::unique_ptr<Road> road;
  std::string opener = sandbox.File("opener.sh"), package = packages.File("Larkspire-Setup.MSI");
};

TEST_F(RoadTest, StopHalfwayAsksDeletesThePartAndRetryCompletes) {
  WriteFileBytes(package, std::string(3 << 20, 'q'));
  ASSERT_EQ(Publish("--component larkspire=3.03.0000"), "");
  Road& r = Open();
  CheckForUpdates();
  WriteFileBytes(server.File(".slow"), "");
  r.Click(Ctl::Cmd1);
  ASSERT_TRUE(r.WaitFor([&] { return !r.Caption(Ctl::lblInfo0).empty(); })) << r.Caption(Ctl::Label1_3);
  r.Boxes().answers = {Mb::No, Mb::Yes};
  r.Click(Ctl::cmdLoad0);
  EXPECT_NE(r.Caption(Ctl::Label1_3), "Download stopped");
  r.Click(Ctl::cmdLoad0);
  ASSERT_EQ(r.Boxes().shown.size(), 2u);
  EXPECT_EQ(r.Boxes().shown.back().prompt, "Are you sure you want to stop this download?");
  EXPECT_EQ(r.Caption(Ctl::Label1_3), "Download stopped");
  EXPECT_TRUE(FilesIn(r.TempFolder()).empty());
  std::filesystem::remove(server.File(".slow"));
  r.Click(Ctl::cmdLoad1);
  ASSERT_TRUE(r.WaitFor([&] { return r.Form().CurrentPage == PageReady; })) << r.Caption(Ctl::Label1_3);
}

// The log lines written while a road runs.
std::vector<std::string> logLines;
void RecordLine(LogArea area, LogLevel, std::string_view line) {
  logLines.push_back(std::string(LogAreaName(area)) + ": " + std::string(line));
}

// A user's situation, set up before the wizard starts, and where the road
// ends: on a finished result page, at Ready to Install with the package in a
// folder, at the download-error dialog, or with a message box.
struct Situation {
  const char* name;
  std::string components = "--component larkspire=3.03.0000";
  // "App Path" as stored; "@product": the sandbox's product folder; "@locked":
  // one the user cannot write; "@unicode": one in scripts Windows-1252 cannot hold.
  std::string appPath = "@product";
  std::string opener = "printf '%s\\n' \"$1\" >> \"$(dirname \"$0\")/opened.txt\"";
  std::string registryText{};   // replaces the registry file when given
  bool corruptPackage = false;  // the served package differs from the one published
  std::string result{};         // the start of a finished result page's text
  std::string copiedInto{};     // "@data": the user's own data folder; else as appPath
  std::string errorDialog{};    // "@locked": the copy's failure in that folder
  std::string box{};            // a message box's text
  int exitStatus = ExitStatus::Success;
  std::string logged{};  // a part of a line in the log
};
void PrintTo(const Situation& s, std::ostream* os) { *os << s.name; }

class UserRoad : public RoadTest, public ::testing::WithParamInterface<Situation> {
 protected:
  void SetUp() override {
    RoadTest::SetUp();
    logLines.clear();
    SetLogSink(RecordLine);
    setenv("XDG_DATA_HOME", data.Native().c_str(), 1);
    const Situation& s = GetParam();
    std::filesystem::remove(sandbox.File("config/larkspire/registry.reg"));
    Road::SeedRegistry(sandbox.Native(), "3.02.0012", {{"quillon", "2.01.0003"}}, Folder(s.appPath));
    if (!s.registryText.empty()) WriteFileBytes(sandbox.File("config/larkspire/registry.reg"), s.registryText);
    WriteFileBytes(opener, "#!/bin/sh\n" + s.opener + "\n");
  }
  void TearDown() override {
    SetLogSink(nullptr);
    unsetenv("XDG_DATA_HOME");
    std::filesystem::permissions(sandbox.Native() + "/locked", std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace, ignored);
    RoadTest::TearDown();
  }

  std::string Folder(const std::string& name) {
    if (name == "@product") return sandbox.Native() + "/product";
    if (name == "@data") return data.Native() + "/larkspire";
    if (name == "@unicode") {
      std::filesystem::create_directories(sandbox.File("home/łukasz/Программы"));
      return sandbox.File("home/łukasz/Программы");
    }
    // Root is not stopped by permissions; a folder of the kernel's stops it.
    if (name == "@locked" && geteuid() == 0) return "/sys/kernel";
    if (name == "@locked") {
      std::filesystem::create_directories(sandbox.File("locked"));
      std::filesystem::permissions(sandbox.File("locked"),
                                   std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
      return sandbox.File("locked");
    }
    return name;
  }

  TempDir data;
  std::error_code ignored;
};

TEST_P(UserRoad, EndsAsTheUserExpects) {
  const Situation& s = GetParam();
  if (s.exitStatus == ExitStatus::NotInstalled) {
    EXPECT_THROW(Open(), ProgramEnded);
  } else if (!s.result.empty()) {
    ASSERT_EQ(Publish(s.components), "");
    Open();
    CheckForUpdates();
    EXPECT_EQ(road->Caption(Ctl::Label1_4).rfind(s.result, 0), 0u) << road->Caption(Ctl::Label1_4);
    EXPECT_FALSE(road->Enabled(Ctl::Cmd1));
    road->Click(Ctl::Cmd2);  // Finished
    EXPECT_TRUE(road->Window().Unloaded());
    EXPECT_TRUE(FilesIn(road->ProductFolder()).empty());
  } else if (!s.errorDialog.empty()) {
    ASSERT_EQ(Publish(s.components), "");
    if (s.corruptPackage) WriteFileBytes(server.File("downloads/larkspire-setup.msi"), "not the package");
    Open();
    CheckForUpdates();
    road->Click(Ctl::Cmd1);
    ASSERT_FALSE(WaitForPage(PageReady));
    const std::string text = s.errorDialog == "@locked"
                                 ? "The update could not be copied to " + Folder("@locked") + ": Permission denied."
                                 : s.errorDialog;
    EXPECT_EQ(road->ErrorDialogs(), std::vector<std::string>{text});
    EXPECT_EQ(road->Caption(Ctl::Label1_3), "Download stopped");
    EXPECT_TRUE(road->Enabled(Ctl::cmdLoad1));  // Retry
  } else {
    DownloadTheUpdate();
    if (HasFatalFailure()) return;
    const std::string folder = Folder(s.copiedInto.empty() ? s.appPath : s.copiedInto);
    EXPECT_EQ(FilesIn(folder), std::vector<std::string>{"larkspire-setup.msi"});
    road->Click(Ctl::Cmd1);  // Install
    EXPECT_TRUE(road->Window().Unloaded());
    EXPECT_EQ(Opened(), s.box.empty() ? folder + "/larkspire-setup.msi\n" : "");
  }
  std::vector<std::string> boxes;
  for (const ShownMessage& m : road->Boxes().shown) boxes.push_back(m.prompt);
  EXPECT_EQ(boxes, s.box.empty() ? std::vector<std::string>{} : std::vector<std::string>{s.box});
  EXPECT_EQ(road->Process().endCount ? road->Process().lastExitStatus : road->Form().ExitCode(), s.exitStatus);
  const auto logged = [&](const std::string& l) { return l.find(s.logged) != std::string::npos; };
  EXPECT_TRUE(s.logged.empty() || std::any_of(logLines.begin(), logLines.end(), logged))
      << ::testing::PrintToString(logLines);
}

// clang-format off
const Situation kSituations[] = {
  {.name = "UpToDate", .components = "--component larkspire=3.02.0012 --component quillon=2.01.0003", .result = "Congratulations!"},
  {.name = "NotAvailable", .components = "--component larkspire=3.03.0000 --disable-setup", .result = "Larkspire AutoUpdate is not available at this time."},
  {.name = "CorruptPackage", .corruptPackage = true, .errorDialog = "The downloaded file was corrupt."},
  {.name = "NoAppPathGoesToTheUsersOwnFolder", .appPath = "", .copiedInto = "@data", .logged = "larkspire.startup: \"App Path\" is not set"},
  {.name = "WindowsAppPathGoesToTheUsersOwnFolder", .appPath = "C:\\Program Files\\Larkspire", .copiedInto = "@data", .logged = "C:\\Program Files\\Larkspire\" is no folder here"},
  {.name = "ReadOnlyProductFolderSaysWhy", .appPath = "@locked", .errorDialog = "@locked", .logged = "larkspire.install: The update could not be copied to"},
  {.name = "FailingOpenerShowsTheRunFailure", .opener = "echo 'no handler for this type' >&2; exit 3",
   .box = "An error has occurred while attempting to run install program.\r\nPlease rerun Larkspire AutoUpdate.", .exitStatus = ExitStatus::HandOverFailed, .logged = "exit status 3"},
  {.name = "BrokenRegistryFileSaysWhereAndEndsNonZero", .registryText = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software]\n\"x\"=bogus\n",
   .box = "Larkspire was either not installed or not\r\ninstalled properly. Please reinstall Larkspire.\r\n\r\nCannot continue with update.", .exitStatus = ExitStatus::NotInstalled, .logged = "registry.reg: line 4"},
  {.name = "ProductFolderInAnyScript", .appPath = "@unicode"},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(Situations, UserRoad, ::testing::ValuesIn(kSituations),
                         [](const auto& info) { return std::string(info.param.name); });

// A session without a bus (ssh, sudo, a minimal desktop): nobody can be
// listening, and the road goes on. Run by CTest in a process without a bus.
TEST_F(RoadTest, NoSessionBusCompletes) {
  ASSERT_EQ(std::getenv("DBUS_SESSION_BUS_ADDRESS"), nullptr) << "run without a session bus";
  DownloadTheUpdate();
  if (HasFatalFailure()) return;
  road->Click(Ctl::Cmd1);
  EXPECT_EQ(Opened(), road->ProductFolder() + "/larkspire-setup.msi\n");
  EXPECT_TRUE(road->Boxes().shown.empty());
  EXPECT_EQ(road->Form().ExitCode(), ExitStatus::Success);
}
}  // namespace
