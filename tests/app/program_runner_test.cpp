// The one start-up and close sequence of both programs: their command-line
// grammar, the steps the runner takes for each kind of line, and a second
// wizard of the same user, which tells the user and leaves. (The real
// programs run the command-line rows of tests/app/command_lines.cmake: an
// unknown option, a refusal that wins over --help, /? as help.)
#include "app/program_runner.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "backends/posix/wizard_lock.hpp"
#include "fakes/fake_platform.hpp"
#include "fakes/scoped_env.hpp"
#include "support/app_texts.hpp"
#include "support/c_registry.hpp"
#include "support/diagnostics.hpp"

namespace {
using Outcome = CommandLine::Outcome;
const ProgramDescription kWindows{.name = "w", .command = "w.exe", .version = "1.2", .updateHost = "h:1"};
const ProgramDescription kLinux = WithQtOptions({.name = "w", .command = "w", .version = "1.2", .updateHost = "h:1"});

TEST(CommandLine, OneGrammarForBothPrograms) {
  struct Row {
    std::vector<std::string> args;
    bool linux;  // read by the Linux program's grammar, else the Windows one's
    Outcome outcome;
    std::string refusal;  // how the reason starts, or, for Run, the log file read
    bool verbose, check;
  } rows[] = {
      {{"--verbose", "-platform", "offscreen", "-style=Fusion", "-reverse", "--check"}, true, Outcome::Run, "", 1, 1},
      {{"-verbose", "--log-file", "a b.log"}, false, Outcome::Run, "a b.log", 1, 0},
      {{"--log-file=-x", "--verbose"}, true, Outcome::Run, "-x", 1, 0},
      {{"-platform", "offscreen"}, false, Outcome::Refuse, "Unknown option '-platform'.", 0, 0},
      {{"-platform"}, true, Outcome::Refuse, "Missing value after '-platform'.", 0, 0},
      {{"--check=yes"}, true, Outcome::Refuse, "Unexpected value after '--check'.", 0, 0},
      {{"--", "--verbose"}, false, Outcome::Refuse, "Unexpected argument '--verbose'", 0, 0},
      {{"--log-file="}, true, Outcome::Refuse, "Missing value after '--log-file'.", 0, 0},
      {{"--help-all"}, false, Outcome::Refuse, "Unknown option '--help-all'.", 0, 0},
      {{"--x\n20:00 info forged"}, false, Outcome::Refuse, "Unknown option '--x\\x0A20:00 info forged'.", 0, 0},
  };
  for (Row& row : rows) {
    row.args.insert(row.args.begin(), "w");
    const CommandLine line = ReadCommandLine(row.args, row.linux ? kLinux : kWindows);
    SCOPED_TRACE(row.args[1]);
    EXPECT_EQ(line.outcome, row.outcome);
    EXPECT_EQ(row.outcome == Outcome::Refuse ? line.refusal.substr(0, row.refusal.size()) : line.logFile, row.refusal);
    EXPECT_EQ(std::pair(line.verbose, line.check), std::pair(row.verbose, row.check));
  }
  // Qt is handed its own options as it reads them; the help's lines are wrapped.
  EXPECT_EQ(ReadCommandLine({"w", "--platform=offscreen", "--verbose", "-reverse"}, kLinux).toolkitArguments,
            (std::vector<std::string>{"-platform", "offscreen", "-reverse"}));
  EXPECT_EQ(ReadCommandLine({"w", "-?"}, kWindows).answer, HelpText(kWindows));
  const std::string wrapped = "\n  --log-file <file>   Also append the log to <file> (a wizard started from the\n";
  EXPECT_NE(HelpText(kLinux).find(wrapped), std::string::npos);
}

// A host that records each step the runner asks of it.
struct RecordingHost : ProgramHost {
  FakePlatform platform;
  std::string steps;
  std::string display;  // why no window can be opened ("" it can)
  bool heldElsewhere;
  RecordingHost(std::string why, bool elsewhere) : display(std::move(why)), heldElsewhere(elsewhere) {}
  struct Claim : ISingleInstance {
    std::string& steps;
    bool held;
    Claim(std::string& s, bool elsewhere) : steps(s), held(elsewhere) {}
    ~Claim() override { steps += " let go"; }
    bool HeldElsewhere() const override { return held; }
    std::string Describe() const override { return "a test's claim"; }
  };
  bool Answer(const std::string& text) override { return steps += " answer:" + text.substr(0, text.find('\n')), true; }
  void ShowRefusal(const std::string& text) override { steps += " refusal:" + text.substr(0, text.find("\n\n")); }
  void StartLog(const CommandLine& line) override { steps += " log:" + line.logFile; }
  Platform& StartCheck(const CommandLine&) override { return steps += " check", platform.services; }
  void RunEvents() override { steps += " events"; }
  void StopEvents() override {}
  void Announce(const UpdateCheck&) override { steps += " announce"; }
  std::string StartWindowSystem(const CommandLine&) override { return steps += " display", display; }
  Platform& Services() override { return platform.services; }
  std::unique_ptr<ISingleInstance> ClaimSingleInstance() override {
    steps += " claim";
    return std::make_unique<Claim>(steps, heldElsewhere);
  }
  void Attach(IMainWindowEvents&) override { steps += " attach"; }
  void Detach() override { steps += " detach"; }
  bool Unloaded() const override { return platform.window.Unloaded(); }
  int ShowAndRun() override { return steps += " run", 0; }
};

TEST(ProgramRunner, EachKindOfLineTakesItsSteps) {
  struct Row {
    std::vector<std::string> args;
    std::string display;
    bool heldElsewhere;
    int status;
    std::string steps;
    bool installed = false;  // Larkspire installed, the desktop without an opener
  } rows[] = {
      {{"--bogus"}, "", false, ExitStatus::BadCommandLine, " refusal:Unknown option '--bogus'."},
      {{"-h", "--check", "-v"}, "", false, ExitStatus::Success, " answer:w 1.2"},  // the version wins
      // The quiet check takes the wizard's claim and leaves when it is taken.
      {{"--check", "--log-file=f"}, "", true, ExitStatus::AlreadyRunning, " log:f check claim let go"},
      {{}, "", true, ExitStatus::AlreadyRunning, " log: display claim let go"},
      // No opener: the wizard's status, not the event loop's, once its window is closed.
      {{}, "", false, ExitStatus::InstallerMissing, " log: display claim attach run detach let go", true},
  };
  for (Row& row : rows) {
    row.args.insert(row.args.begin(), "w.exe");
    RecordingHost host(row.display, row.heldElsewhere);
    if (row.installed) {
      cRegistry reg(host.platform.registry, host.platform.environment);
      reg.RootKey("Software\\Tessarine\\LarkspireBrowser");
      reg.RegWrite("\\Main", "App Version", std::string("3.02.0012"));
      reg.RegWrite("\\Main", "App Path", host.platform.home.Path());
      host.platform.shell.installerPresent = false;
    }
    SCOPED_TRACE(row.steps);
    EXPECT_EQ(RunProgram(row.args, kWindows, host), row.status);
    EXPECT_EQ(host.steps, row.steps);
    // A second wizard tells the user; a check that leaves only logs it.
    const std::vector<ShownMessage>& shown = host.platform.messageBox.shown;
    EXPECT_EQ(shown.size() == 1 && shown[0].prompt == AlreadyRunningText && shown[0].buttons == Mb::Information,
              row.status == ExitStatus::AlreadyRunning && row.steps.find(" display") != std::string::npos);
  }
}

TEST(ProgramRunner, TheLinuxClaimIsALockThatEndsWithItsWizard) {
  TempDir runtime, config;
  {
    ScopedEnv env{"XDG_RUNTIME_DIR", runtime.Native().c_str()};
    const std::string path = WizardLock::DefaultPath(config.File("registry.reg"));
    EXPECT_EQ(path, runtime.File("larkspire-autoupdate.lock"));
    auto first = std::make_unique<WizardLock>(path);
    // The installer the wizard starts must not hold the lock on: a new wizard would say "already running".
    std::error_code error;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd", error)) {
      if (std::filesystem::read_symlink(fd.path(), error) == path) {
        EXPECT_TRUE(fcntl(std::stoi(fd.path().filename().string()), F_GETFD) & FD_CLOEXEC);
      }
    }
    EXPECT_FALSE(first->HeldElsewhere());
    EXPECT_TRUE(WizardLock(path).HeldElsewhere());
    first.reset();  // the first one has ended: the next one runs
    EXPECT_EQ(WizardLock(path).Status(), WizardLock::State::Held);
  }
  // Without the runtime folder the lock is beside the registry file; with no folder there, nothing is locked.
  ScopedEnv none{"XDG_RUNTIME_DIR", nullptr};
  EXPECT_EQ(WizardLock::DefaultPath(config.File("registry.reg")), config.File("autoupdate.lock"));
  EXPECT_EQ(WizardLock(WizardLock::DefaultPath(config.File("none/registry.reg"))).Status(),
            WizardLock::State::Unlocked);
}
}  // namespace
