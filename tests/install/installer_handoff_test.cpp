// The hand-over of the verified package to the system, and the window
// message shared with the product's running programs.
#include "support/diagnostics.hpp"
#include "wizard/wizard_fixture.hpp"

namespace {
const std::string kRunFailed =
    "An error has occurred while attempting to run install program.\r\nPlease rerun Larkspire AutoUpdate.";
const std::string kDeleted =
    "The Larkspire AutoUpdate file was not found on disk\r\nand may have been deleted since it was "
    "downloaded.\r\n\r\nPlease rerun Larkspire AutoUpdate.";

struct HandOver {
  const char* name;
  std::intptr_t shellResult;
  bool deleted, broadcastFails;
  std::string box;  // "" for none
  bool closes;
};

void PrintTo(const HandOver& h, std::ostream* os) { *os << h.name; }

class InstallHandOver : public WizardTest, public ::testing::WithParamInterface<HandOver> {};

TEST_P(InstallHandOver, OnInstall) {
  const HandOver& r = GetParam();
  frmMain& f = Start();
  f.ComponentTable.resize(2);
  f.Transfer.CurrentIndex = 1;
  f.CurrentPage = PageReady;
  f.ShowPage(PageReady);
  if (!r.deleted) WriteFileBytes(dir.File("larkspire setup.msi"), "package");
  f.ComponentTable[1].sTargetFile = f.Installed.State.AppPath + "larkspire setup.msi";
  shell.shellResult = r.shellResult;
  fake.messages.broadcastFails = r.broadcastFails;
  f.Cmd_Click(1);

  ASSERT_EQ(shell.calls.size(), r.deleted || r.broadcastFails ? 0u : 1u);
  if (!shell.calls.empty()) {
    EXPECT_EQ(shell.calls[0].operation, "open");
    EXPECT_EQ(shell.calls[0].file, "\"" + f.Installed.State.AppPath + "larkspire setup.msi\"");
    EXPECT_EQ(shell.calls[0].show, 1);
  }
  EXPECT_EQ(fake.messages.broadcasts.size(), r.broadcastFails ? 0u : 1u);
  ASSERT_EQ(BoxesShown(), r.box.empty() ? 0u : 1u);
  if (!r.box.empty()) {
    EXPECT_EQ(fake.messageBox.shown[0].prompt, r.box);
    EXPECT_EQ(fake.messageBox.shown[0].buttons, Mb::Exclamation | Mb::OkOnly);
    EXPECT_EQ(fake.messageBox.shown[0].title, "Larkspire AutoUpdate - Error");
  }
  EXPECT_EQ(f.ExitCode(), r.box.empty() ? ExitStatus::Success : ExitStatus::HandOverFailed);
  EXPECT_EQ(window.unloadCount, r.closes ? 1 : 0);
  EXPECT_EQ(f.CurrentPage, PageReady);
}

INSTANTIATE_TEST_SUITE_P(Situations, InstallHandOver,
                         ::testing::Values(HandOver{"Started", 33, false, false, "", true},
                                           HandOver{"ShellResult32", 32, false, false, kRunFailed, true},
                                           HandOver{"Deleted", 33, true, false, kDeleted, true},
                                           HandOver{"BroadcastFails", 33, false, true, "", false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RegisterMessages, AsksUpToTenTimesWhileTheAnswerIsZero) {
  const struct {
    std::deque<std::uint32_t> answers;
    int calls;
    std::int32_t kept;  // 0: the error was raised
  } rows[] = {
      {{}, 1, static_cast<std::int32_t>(StableMessageId("lkSMsgGeneral"))},
      {{0, 0, 0xC123}, 3, 0xC123},
      {{0, 0, 0, 0, 0, 0, 0, 0, 0xC124}, 9, 0xC124},
      {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0xC125}, 10, 0},
      {std::deque<std::uint32_t>(20, 0), 10, 0},
  };
  for (const auto& r : rows) {
    FakePlatform fake;
    frmMain form(fake.Services(), "updates.test");
    fake.messages.registerResults = r.answers;
    try {
      form.Installer.RegisterMessages();
    } catch (const RuntimeError& e) {
      EXPECT_EQ(e.Number(), -2147220504);
      EXPECT_EQ(e.Description(), "Couldn't register window messages.");
    }
    EXPECT_EQ(fake.messages.registerCalls, r.calls) << r.answers.size();
    EXPECT_EQ(form.Installer.MsgGeneral, r.kept) << r.answers.size();
  }
}
}  // namespace
