// What the wizard settles before its window opens: the command lines it
// opens on, and a second wizard of the same user, which tells the user and
// leaves. (Refused lines and their exit status are rows of the program's own
// table in tests/CMakeLists.txt, run without a display.)
#include "app/start_up.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "fakes/fake_services.hpp"
#include "fakes/scoped_env.hpp"

namespace {
using Outcome = CommandLine::Outcome;

TEST(StartUp, TheToolkitsOwnOptionsPassAndAMissingValueIsRefused) {
  const CommandLine run = ReadCommandLine({"w", "--verbose", "-platform", "offscreen", "-style=Fusion", "-reverse"});
  EXPECT_TRUE(run.outcome == Outcome::Run && run.verbose);
  EXPECT_EQ(ReadCommandLine({"w", "-platform"}).refusal, "Missing value after '-platform'.");
}

TEST(StartUp, ASecondWizardOfTheUserTellsTheUserAndLeaves) {
  TempDir runtime, config;
  FakeMessageBox boxes;
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
    EXPECT_FALSE(TellWhenAlreadyRunning(*first, boxes));
    EXPECT_TRUE(TellWhenAlreadyRunning(WizardLock(path), boxes));
    first.reset();  // the first one has ended: the next one runs
    EXPECT_EQ(WizardLock(path).Status(), WizardLock::State::Held);
  }
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].prompt, AlreadyRunningText);
  EXPECT_EQ(boxes.shown[0].buttons, Mb::Information);
  // Without the runtime folder the lock is beside the registry file; with no folder there, nothing is locked.
  ScopedEnv none{"XDG_RUNTIME_DIR", nullptr};
  EXPECT_EQ(WizardLock::DefaultPath(config.File("registry.reg")), config.File("autoupdate.lock"));
  EXPECT_EQ(WizardLock(WizardLock::DefaultPath(config.File("none/registry.reg"))).Status(),
            WizardLock::State::Unlocked);
}
}  // namespace
