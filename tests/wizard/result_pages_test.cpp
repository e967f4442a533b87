#include "wizard_fixture.hpp"

namespace {
class ResultPageTest : public WizardTest {
 protected:
  frmMain& AtResult(CatalogResult result, std::vector<std::string> components = {}) {
    frmMain& f = Start();
    f.ComponentTable.resize(2);
    for (const auto& name : components) {
      UpdateComponent c;
      c.sFileName = name;
      f.ComponentTable.push_back(c);
    }
    f.CurrentPage = PageResult;
    f.ShowResultPage(result);
    return f;
  }
  std::string Header() { return window.picture1.Calls("Print").back().text; }
};

TEST_F(ResultPageTest, UpdatesAvailableListsEachComponentInTableOrder) {
  AtResult(crUpdatesAvailable, {"viewer.exe", "quillon"});
  EXPECT_EQ(Header(), "Updates Available");
  EXPECT_EQ(Caption(Ctl::Label1_4),
            "Larkspire AutoUpdate has determined that the following Larkspire components can be updated.\r\n\r\n"
            "viewer.exe\r\nquillon\r\n\r\n\r\n"
            "Click Next if you wish to proceed with the update. If you decide to proceed with the update, the listed "
            "components will first be downloaded. After they have been successfully downloaded, they will be used "
            "to update your outdated Larkspire components.\r\n\r\nClick Cancel if you do not wish to continue with "
            "the update.");
  EXPECT_FALSE(Enabled(Ctl::Cmd0));
  EXPECT_TRUE(Enabled(Ctl::Cmd1));
  EXPECT_EQ(Caption(Ctl::Cmd2), "&Cancel");
  EXPECT_EQ(window.Focused(), &window.Ctrl(Ctl::Cmd1));
  EXPECT_EQ(window.VisibleFrames(), std::vector<Ctl>{Ctl::frMain4});
}

TEST_F(ResultPageTest, UpdateErrorSetsRecheckAndDeletesDownloads) {
  const std::string downloaded = dir.File("updchk.ndf");
  WriteFileBytes(downloaded, "x");
  frmMain& f = Start();
  f.ComponentTable[0].sDownloadedFile = PosixFileSystem::FromNative(downloaded);
  f.CurrentPage = PageResult;
  f.ShowResultPage(crError);
  EXPECT_TRUE(f.RecheckPending);
  EXPECT_TRUE(f.ComponentTable[0].sDownloadedFile.empty());
  EXPECT_TRUE(ReadFileBytes(downloaded).empty());
  EXPECT_EQ(Header(), "Update Error");
  EXPECT_EQ(Caption(Ctl::Label1_4),
            "An error has occurred while attempting to read the Larkspire AutoUpdate file. It may have been "
            "corrupted during download. As it is, Larkspire AutoUpdate cannot continue.\r\n\r\nYou can attempt to "
            "correct this problem by downloading the Larkspire AutoUpdate file again. Click Next to try to download "
            "the file again.\r\n\r\nClick Cancel to exit Larkspire AutoUpdate.");
  EXPECT_TRUE(Enabled(Ctl::Cmd1));
}

TEST_F(ResultPageTest, UpToDateAndUnknownResultsFinish) {
  for (int result : {int(crUpToDate), 7}) {
    AtResult(static_cast<CatalogResult>(result));
    EXPECT_EQ(Header(), "Larkspire is up to date!");
    EXPECT_EQ(Caption(Ctl::Label1_4),
              "Congratulations!\r\n\r\nYou currently have all the latest versions of the Larkspire components. You "
              "can run Larkspire AutoUpdate at a later date to see if there are any updates available.\r\n\r\nThank "
              "you for using Larkspire.");
    EXPECT_FALSE(Enabled(Ctl::Cmd0));
    EXPECT_FALSE(Enabled(Ctl::Cmd1));
    EXPECT_EQ(Caption(Ctl::Cmd2), "Finished");
    EXPECT_EQ(window.Focused(), &window.Ctrl(Ctl::Cmd2));
  }
}

TEST_F(ResultPageTest, NotAvailableFinishesAndFinishedClosesWithoutAQuestion) {
  frmMain& f = AtResult(crNotAvailable);
  EXPECT_EQ(Header(), "Larkspire AutoUpdate is Not Available");
  EXPECT_EQ(Caption(Ctl::Label1_4),
            "Larkspire AutoUpdate is not available at this time.\r\n\r\nPlease run Larkspire AutoUpdate again in a "
            "few days when the Larkspire team has  finished uploading the latest version to it's "
            "website.\r\n\r\nThank you for using Larkspire.");
  EXPECT_FALSE(Enabled(Ctl::Cmd1));
  EXPECT_EQ(Caption(Ctl::Cmd2), "Finished");
  f.Cmd_Click(2);
  EXPECT_EQ(BoxesShown(), 0u);
  EXPECT_EQ(window.unloadCount, 1);
}

TEST_F(ResultPageTest, ReadyPageTurnsNextIntoInstall) {
  frmMain& f = Start();
  f.CurrentPage = PageReady;
  f.ShowPage(PageReady);
  EXPECT_EQ(Header(), "Ready to Install the Updates");
  EXPECT_EQ(Caption(Ctl::Label1_4),
            "The latest Larkspire components have been successfully downloaded and are ready to be installed. Click "
            "the Install button to start the installation.\r\n\r\nThank you for using Larkspire!");
  EXPECT_EQ(Caption(Ctl::Cmd1), "Install");
  EXPECT_FALSE(Enabled(Ctl::Cmd0));
  EXPECT_EQ(window.Focused(), &window.Ctrl(Ctl::Cmd1));
  EXPECT_TRUE(f.MessageText.empty());
}

TEST_F(ResultPageTest, CheckPageBroadcastsBeforeItFetches) {
  frmMain& f = Start();
  f.CurrentPage = PageCheck;
  f.ShowPage(PageCheck);
  EXPECT_EQ(Header(), "Checking for Updates...");
  ASSERT_EQ(fake.messages.broadcasts.size(), 1u);
  EXPECT_EQ(fake.messages.broadcasts[0], static_cast<std::uint32_t>(f.Installer.MsgGeneral));
  EXPECT_EQ(Caption(Ctl::Label1_3), "Attempting to connect to updates.test:8731");
  EXPECT_FALSE(Enabled(Ctl::Cmd0));
  EXPECT_FALSE(Enabled(Ctl::Cmd1));
  EXPECT_TRUE(Enabled(Ctl::cmdLoad0));
  EXPECT_FALSE(Enabled(Ctl::cmdLoad1));
  EXPECT_EQ(window.VisibleFrames(), std::vector<Ctl>{Ctl::frMain3});
}
}  // namespace
