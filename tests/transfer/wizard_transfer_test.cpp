// The check page over the real read service: what the user reads in the
// download-error dialog for each real failure, and a good fetch handed to
// the catalog.
#include <sys/mount.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "fakes/fake_transfer.hpp"
#include "fakes/nginx_server.hpp"
#include "fault_server.hpp"
#include "platform/common/profile_file_reader.hpp"
#include "platform/qt/qt_async_read.hpp"
#include "qt_support.hpp"
#include "wizard/wizard_fixture.hpp"

namespace {
const char* const kRetry = "Unable to complete the download of this file. Please click Retry.";

class WizardTransferTest : public WizardTest {
 protected:
  WizardTransferTest() : WizardTest({.reader = &service}) {}
  ~WizardTransferTest() override { form.reset(); }  // the control leaves the service first

  // The check page of a wizard whose update server is host; the fetch runs
  // until the error dialog shows or the file has been handed over.
  void CheckAgainst(const std::string& host) {
    service.SetDownloadFolder(QString::fromStdString(downloads.Native()));
    form = std::make_unique<frmMain>(fake.Services(), host);
    form->Form_Load();
    form->Cmd_Click(1);
    form->Cmd_Click(1);
    ASSERT_EQ(form->CurrentPage, PageCheck);
    ASSERT_TRUE(RunUntil([&] { return !dialogs.shownTexts.empty() || window.tmrDownload.enabled; }));
  }

  void ExpectErrorDialog(const std::string& text) {
    EXPECT_EQ(dialogs.shownTexts, std::vector<std::string>{text});
    EXPECT_EQ(Caption(Ctl::Label1_3), "Download stopped");
    EXPECT_TRUE(Enabled(cmdLoad(1)));
    EXPECT_FALSE(Enabled(cmdLoad(0)));
    EXPECT_TRUE(form->ComponentTable[0].sDownloadedFile.empty());
    EXPECT_EQ(FilesIn(downloads.Native()), std::vector<std::string>{});
  }

  TempDir downloads;
  QtAsyncReadService service;
};

TEST_F(WizardTransferTest, UnresolvableServerNameIsWordedAsSuch) {
  CheckAgainst("larkspire-update.invalid");
  ExpectErrorDialog("The server name or address could not be resolved.");
}

TEST_F(WizardTransferTest, UnresolvableServerNameWithoutAConnectionGetsTheHint) {
  connection.flags = 0x02;
  CheckAgainst("larkspire-update.invalid:8731");
  ExpectErrorDialog(
      "The server name or address could not be resolved. This could be a result of no Internet connection.");
}

struct StatusRow {
  const char* status;
  const char* shown;
};

void PrintTo(const StatusRow& r, std::ostream* os) { *os << r.status; }

class WizardStatusTest : public WizardTransferTest, public ::testing::WithParamInterface<StatusRow> {};

TEST_P(WizardStatusTest, ServerAnswerIsWordedForTheUser) {
  const std::string status = GetParam().status;
  FaultServer server(
      [&](FaultServer::Connection& c) { c.Send(FaultServer::Response(status, "<h1>" + status + "</h1>")); });
  CheckAgainst(server.Host());
  ExpectErrorDialog(GetParam().shown);
  ASSERT_EQ(server.Heads().size(), 1u);
  EXPECT_EQ(server.Heads()[0].rfind("GET /browser/updchk.ndf HTTP/1.1\r\n", 0), 0u);
}

INSTANTIATE_TEST_SUITE_P(Table, WizardStatusTest,
                         ::testing::Values(StatusRow{"401 Unauthorized", kRetry}, StatusRow{"403 Forbidden", kRetry},
                                           StatusRow{"404 Not Found", "The url could not be found."},
                                           StatusRow{"410 Gone", "The url could not be found."},
                                           StatusRow{
                                               "500 Internal Server Error",
                                               "The server answered 500 Internal Server Error instead of the file."}));

TEST_F(WizardTransferTest, RefusedConnectionIsWordedForTheUser) {
  CheckAgainst("127.0.0.1:" + std::to_string(FreeLoopbackPort()));
  ExpectErrorDialog("The server refused the connection.");
}

TEST_F(WizardTransferTest, BodyCutShortIsNeverHandedOn) {
  FaultServer server([](FaultServer::Connection& c) {
    c.Send("HTTP/1.1 200 OK\r\nContent-Length: 5000\r\nConnection: close\r\n\r\n[setup]\r\nsize=5000\r\n");
  });
  CheckAgainst(server.Host());
  ExpectErrorDialog("The server closed the connection before the download was complete.");
  EXPECT_FALSE(window.tmrDownload.enabled);
}

TEST_F(WizardTransferTest, DiskRunningOutOfSpaceIsWordedAsSuch) {
  service.SetWriteLimitForTesting(1000);
  FaultServer server(
      [](FaultServer::Connection& c) { c.Send(FaultServer::Response("200 OK", std::string(50000, 'u'))); });
  CheckAgainst(server.Host());
  ExpectErrorDialog(kRetry);
}

TEST_F(WizardTransferTest, FullFileSystemIsWordedAsSuch) {
  const std::string small = downloads.File("small");
  ::mkdir(small.c_str(), 0700);
  if (::mount("tmpfs", small.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=32k,mode=0700") != 0)
    GTEST_SKIP() << "no small file system can be mounted here: " << std::strerror(errno);
  struct Unmount {
    std::string where;
    ~Unmount() { ::umount2(where.c_str(), MNT_DETACH); }
  } unmount{small};
  FaultServer server(
      [](FaultServer::Connection& c) { c.Send(FaultServer::Response("200 OK", std::string(1 << 20, 'u'))); });
  service.SetDownloadFolder(QString::fromStdString(small));
  form = std::make_unique<frmMain>(fake.Services(), server.Host());
  form->Form_Load();
  form->Cmd_Click(1);
  form->Cmd_Click(1);
  ASSERT_TRUE(RunUntil([&] { return !dialogs.shownTexts.empty() || window.tmrDownload.enabled; }));
  EXPECT_EQ(dialogs.shownTexts, std::vector<std::string>{kRetry});
  EXPECT_EQ(FilesIn(small), std::vector<std::string>{});
}

TEST_F(WizardTransferTest, GoodFileFromNginxGoesToTheCatalog) {
  TempDir root;
  ::mkdir((root.Native() + "/browser").c_str(), 0755);
  std::string body =
      "[setup]\r\nsize=@SIZE@\r\nenabled=1\r\nurl=http://updates.test/dl/setup.msi\r\ncrc=cbf43926\r\n"
      "[larkspire]\r\nenabled=1\r\nversion=3.02.0012\r\n[rillgauge]\r\nenabled=1\r\n"
      "[quillon]\r\nenabled=1\r\nversion=1.00.0002\r\n[palvetta]\r\nenabled=0\r\n"
      "[qvmpanel]\r\nenabled=1\r\n[qvmclock]\r\nenabled=1\r\n";
  std::size_t size = body.size() - 6;
  for (int i = 0; i < 3; ++i) size = body.size() - 6 + std::to_string(size).size();
  body.replace(body.find("@SIZE@"), 6, std::to_string(size));
  WriteFileBytes(root.File("browser/updchk.ndf"), body);
  NginxServer nginx(root.Native());
  CheckAgainst(nginx.Host());
  ASSERT_TRUE(dialogs.shownTexts.empty()) << dialogs.shownTexts[0];
  EXPECT_EQ(Caption(Ctl::Label1_3), "Download completed successfully!");
  const std::string stored = form->ComponentTable[0].sDownloadedFile;
  EXPECT_EQ(ReadFileBytes(PosixFileSystem::ToNative(stored)), body);
  EXPECT_EQ(fake.files.GetAttr(stored), Attr::ReadOnly | Attr::Hidden);
  form->tmrDownload_Timer();
  EXPECT_EQ(form->CurrentPage, PageResult);
  EXPECT_EQ(window.picture1.Calls("Print").back().text, "Updates Available");
}
}  // namespace
