#include "wizard/wizard_fixture.hpp"

namespace {
class InstallTest : public WizardTest {
 protected:
  frmMain& Ready(const std::string& targetName) {
    frmMain& f = Start();
    f.ComponentTable.resize(2);
    f.Transfer.CurrentIndex = 1;
    f.CurrentPage = PageReady;
    f.ShowPage(PageReady);
    if (!targetName.empty()) {
      WriteFileBytes(dir.File(targetName), "package");
      f.ComponentTable[1].sTargetFile = f.Installed.State.AppPath + targetName;
    }
    return f;
  }
};

TEST_F(InstallTest, InstallOpensTheQuotedPackageAndCloses) {
  frmMain& f = Ready("larkspire setup.msi");
  f.Cmd_Click(1);
  ASSERT_EQ(shell.calls.size(), 1u);
  EXPECT_EQ(shell.calls[0].operation, "open");
  EXPECT_EQ(shell.calls[0].file, "\"" + f.Installed.State.AppPath + "larkspire setup.msi\"");
  EXPECT_EQ(shell.calls[0].parameters, "");
  EXPECT_EQ(shell.calls[0].directory, "");
  EXPECT_EQ(shell.calls[0].show, 1);
  EXPECT_EQ(fake.messages.broadcasts.size(), 1u);
  EXPECT_EQ(BoxesShown(), 0u);
  EXPECT_EQ(window.unloadCount, 1);
}

TEST_F(InstallTest, ShellResult32IsAFailureButTheWizardStillCloses) {
  frmMain& f = Ready("setup.msi");
  shell.shellResult = 32;
  f.Cmd_Click(1);
  ASSERT_EQ(BoxesShown(), 1u);
  EXPECT_EQ(fake.messageBox.shown[0].prompt,
            "An error has occurred while attempting to run install program.\r\nPlease rerun Larkspire AutoUpdate.");
  EXPECT_EQ(fake.messageBox.shown[0].buttons, Mb::Exclamation | Mb::OkOnly);
  EXPECT_EQ(fake.messageBox.shown[0].title, "Larkspire AutoUpdate - Error");
  EXPECT_EQ(window.unloadCount, 1);
  EXPECT_TRUE(f.MessageText.empty());
}

TEST_F(InstallTest, DeletedPackageIsReportedAndTheWizardCloses) {
  frmMain& f = Ready("setup.msi");
  std::remove(dir.File("setup.msi").c_str());
  f.Cmd_Click(1);
  EXPECT_TRUE(shell.calls.empty());
  ASSERT_EQ(BoxesShown(), 1u);
  EXPECT_EQ(fake.messageBox.shown[0].prompt,
            "The Larkspire AutoUpdate file was not found on disk\r\nand may have been deleted since it was "
            "downloaded.\r\n\r\nPlease rerun Larkspire AutoUpdate.");
  EXPECT_EQ(window.unloadCount, 1);
}

TEST_F(InstallTest, FailedBroadcastLeavesTheWizardOnTheReadyPage) {
  frmMain& f = Ready("setup.msi");
  fake.messages.broadcastFails = true;
  f.Cmd_Click(1);
  EXPECT_TRUE(shell.calls.empty());
  EXPECT_EQ(BoxesShown(), 0u);
  EXPECT_EQ(window.unloadCount, 0);
  EXPECT_EQ(f.CurrentPage, PageReady);
}

TEST_F(InstallTest, RegistrationGivesUpAfterTenAttempts) {
  // Nine zeros, then an identifier on the tenth attempt: still a failure.
  fake.messages.registerResults.assign(9, 0);
  fake.messages.registerResults.push_back(0xC123);
  Make();
  EXPECT_THROW(form->Installer.RegisterMessages(), RuntimeError);
  EXPECT_EQ(fake.messages.registerCalls, 10);
  fake.messages.registerResults = {0, 0, 0xC124};
  fake.messages.registerCalls = 0;
  form->Installer.RegisterMessages();
  EXPECT_EQ(fake.messages.registerCalls, 3);
  EXPECT_EQ(form->Installer.MsgGeneral, 0xC124);
}
}  // namespace
