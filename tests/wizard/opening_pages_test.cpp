#include "wizard_fixture.hpp"

namespace {
const std::string kWelcomeBody =
    "This program will update your version of the Larkspire Browser.\r\n\r\n"
    "It is strongly recommended that you exit all Windows programs before starting this update. Click Cancel to "
    "quit the update in order to close any programs you have running.\r\n\r\n"
    "It is particularly important that you exit all Larkspire programs that are running. If you choose not to do "
    "so, Larkspire AutoUpdate will close them and you may loose unsaved information or settings.\r\n\r\n";
const std::string kNoConnection =
    "Larkspire AutoUpdate requires you to be connected to the Internet. If you are not connected, please stop and "
    "do so now.\r\n\r\n";
const std::string kPrepareBody =
    "Next, Larkspire AutoUpdate will attempt to connect to updates.test:8731 to retrieve update "
    "information.\r\n\r\nIf a more recent version of Larkspire or one of it's components exists, it will be "
    "downloaded and installed upon your verification.\r\n\r\nClick Next to access the Internet and start the "
    "update process. Click Cancel to abort the update.";

TEST_F(WizardTest, WelcomeTextWithAndWithoutAConnection) {
  frmMain& f = Start();
  EXPECT_EQ(Caption(Ctl::Label1_0), kWelcomeBody + "Click Next to continue with the Update.");
  connection.flags = 0x02;  // a network, but no configured connection
  f.ShowPage(1);
  EXPECT_EQ(Caption(Ctl::Label1_0), kWelcomeBody + kNoConnection + "Click Next to continue with the Update.");
  connection.answers = false;
  f.ShowPage(1);
  EXPECT_EQ(Caption(Ctl::Label1_0), kWelcomeBody + kNoConnection + "Click Next to continue with the Update.");
  EXPECT_TRUE(f.MessageText.empty());
}

TEST_F(WizardTest, WelcomePageButtonsHeaderAndFocus) {
  Start();
  EXPECT_FALSE(Enabled(Ctl::Cmd0));
  EXPECT_TRUE(Enabled(Ctl::Cmd1));
  EXPECT_TRUE(Enabled(Ctl::Cmd2));
  EXPECT_EQ(window.Focused(), &window.Ctrl(Ctl::Cmd1));
  const auto prints = window.picture1.Calls("Print");
  ASSERT_FALSE(prints.empty());
  EXPECT_EQ(prints.back().text, "Welcome to the Larkspire AutoUpdate Wizard");
  EXPECT_EQ(window.picture1.fontSize, 14);
}

TEST_F(WizardTest, PreparingTextWithAndWithoutAConnection) {
  frmMain& f = Start();
  f.Cmd_Click(1);
  EXPECT_EQ(Caption(Ctl::Label1_2), kPrepareBody);
  EXPECT_TRUE(Enabled(Ctl::Cmd0));
  EXPECT_TRUE(Enabled(Ctl::Cmd1));
  EXPECT_TRUE(Enabled(Ctl::Cmd2));
  EXPECT_EQ(window.picture1.Calls("Print").back().text, "Preparing to Connect...");
  connection.flags = 0;
  f.ShowPage(2);
  EXPECT_EQ(Caption(Ctl::Label1_2),
            kPrepareBody +
                "\r\n\r\n\r\n\r\n\r\nWARNING!   An Internet connection has not been detected. If this is acurate, "
                "you should start your Internet connection before attempting to continue.\r\n\r\n");
  // The connection is asked afresh each time the page is shown.
  const int calls = connection.calls;
  f.ShowPage(2);
  EXPECT_EQ(connection.calls, calls + 1);
}

TEST_F(WizardTest, MissingInstallerShowsTheWarningAndLocksTheWizard) {
  shell.installerPresent = false;
  frmMain& f = Start();
  EXPECT_EQ(Caption(Ctl::Label1_0),
            "WARNING!\r\n\r\nAn error has occurred while attempting to initialize the Windows Install program. As a "
            "result, Larkspire AutoUpdate cannot continue.\r\n\r\nThis program requires that the Microsoft Windows "
            "Installer be present and properly installed. It also requires that the file MSI.DLL be in the "
            "appropriate location.\r\n\r\nPlease rectify this problem and rerun Larkspire AutoUpdate.");
  EXPECT_FALSE(Enabled(Ctl::Cmd1));
  EXPECT_FALSE(Enabled(Ctl::Cmd0));
  EXPECT_TRUE(f.CloseWithoutConfirm);
  EXPECT_EQ(window.VisibleFrames(), std::vector<Ctl>{Ctl::frMain0});
  // The page went no further: the table was not prepared.
  EXPECT_TRUE(f.ComponentTable.empty());
  EXPECT_EQ(connection.calls, 0);
}
}  // namespace
