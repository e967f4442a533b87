// The quiet check (larkspire-autoupdate --check), as a timer runs it: the
// real program against nginx at its built-in host, with a notification
// service of the test's own on the session bus (the roads run in a private
// one), in a sandbox of its own.
#include "wizard/update_check.hpp"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QEventLoop>
#include <QObject>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "fakes/fake_services.hpp"
#include "fakes/nginx_server.hpp"
#include "road.hpp"

namespace {
// The desktop's notification service, as far as a check uses it: it records
// each notification and, like a user who clicks it, takes its action.
class FakeNotifications : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public:
  std::vector<QString> shown;

 public slots:
  uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
              const QStringList& actions, const QVariantMap&, int) {
    shown.push_back(summary + " | " + body + " | " + actions.join(","));
    const uint id = static_cast<uint>(shown.size());
    QTimer::singleShot(50, this, [this, id] { emit ActionInvoked(id, QStringLiteral("default")); });
    return id;
  }

 signals:
  void ActionInvoked(uint id, const QString& action);
  void NotificationClosed(uint id, uint reason);
};

int BuiltInPort() { return std::atoi(std::strchr(LARKSPIRE_UPDATE_HOST, ':') + 1); }

class QuietCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    QDBusConnection bus = QDBusConnection::sessionBus();
    ASSERT_TRUE(bus.registerObject("/org/freedesktop/Notifications", &service,
                                   QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
    ASSERT_TRUE(bus.registerService("org.freedesktop.Notifications"));
    for (const char* folder : {"config/larkspire", "product", "tmp", "state"})
      std::filesystem::create_directories(sandbox.File(folder));
    std::filesystem::create_directory(sandbox.File("run"));
    std::filesystem::permissions(sandbox.File("run"), std::filesystem::perms::owner_all);
    WriteFileBytes(sandbox.File("wizard.sh"), "#!/bin/sh\necho started >> \"$(dirname \"$0\")/wizard.txt\"\n");
    std::filesystem::permissions(sandbox.File("wizard.sh"), std::filesystem::perms::owner_all);
    WriteFileBytes(package, std::string(5000, 'p'));
    Installed("3.02.0012");
  }
  void TearDown() override {
    QDBusConnection::sessionBus().unregisterService("org.freedesktop.Notifications");
    QDBusConnection::sessionBus().unregisterObject("/org/freedesktop/Notifications");
  }

  void Installed(const std::string& version) {
    WriteFileBytes(sandbox.File("config/larkspire/registry.reg"),
                   "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Tessarine\\LarkspireBrowser\\Main]\n" +
                       (version.empty() ? "" : "\"App Version\"=\"" + version + "\"\n") + "\"App Path\"=\"" +
                       sandbox.File("product") + "\"\n");
  }
  void Publish(const std::string& version) {
    ASSERT_EQ(
        std::system((std::string(LARKSPIRE_PUBLISH) + " --package '" + package + "' --base-url http://" + nginx.Host() +
                     "/downloads/ --out '" + server.Native() + "' --component larkspire=" + version)
                        .c_str()),
        0);
  }

  // Runs the check; its exit status, the notifications shown so far, whether the wizard was started, and the log.
  std::string Check(bool bus = true) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
    if (!bus) env.remove("DBUS_SESSION_BUS_ADDRESS");
    const std::pair<const char*, std::string> settings[] = {{"HOME", sandbox.Native()},
                                                            {"XDG_CONFIG_HOME", sandbox.File("config")},
                                                            {"XDG_STATE_HOME", sandbox.File("state")},
                                                            {"XDG_RUNTIME_DIR", bus ? sandbox.File("run") : ""},
                                                            {"TMPDIR", sandbox.File("tmp")},
                                                            {"LARKSPIRE_WIZARD", sandbox.File("wizard.sh")}};
    for (const auto& [name, value] : settings) value.empty() ? env.remove(name) : env.insert(name, value.c_str());
    child.setProcessEnvironment(env);
    QEventLoop loop;
    QObject::connect(&child, &QProcess::finished, &loop, &QEventLoop::quit);
    child.start(LARKSPIRE_WIZARD_PROGRAM, {"--check", "--verbose"});
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    loop.exec();
    for (int i = 0; i < 50 && !std::filesystem::exists(sandbox.File("wizard.txt")) && !service.shown.empty(); ++i)
      QTest::qWait(20);
    log = child.readAllStandardError().toStdString();
    return std::to_string(child.exitCode()) + " | " + std::to_string(service.shown.size()) + " shown | wizard " +
           ReadFileBytes(sandbox.File("wizard.txt")).substr(0, 7);
  }

  TempDir sandbox, server;
  std::string package = sandbox.File("Larkspire-Setup.MSI"), log;
  NginxServer nginx{server.Native(), BuiltInPort()};
  FakeNotifications service;
};

// Up to date says nothing; a new catalog is announced once, and its action
// starts the wizard; without a session bus only the status and the log
// tell; a Larkspire not installed is status 2. Nothing is left in the
// temporary folder.
TEST_F(QuietCheck, TellsTheDesktopOnceAboutEachNewUpdate) {
  Publish("3.02.0012");
  EXPECT_EQ(Check(), "0 | 0 shown | wizard ");
  Publish("3.03.0000");
  EXPECT_EQ(Check(), "10 | 1 shown | wizard started");
  EXPECT_EQ(service.shown.front().toStdString(),
            "Larkspire updates are available | Larkspire AutoUpdate has determined that the following Larkspire "
            "components can be updated:\nlarkspire 3.03.0000 | default,Update now");
  EXPECT_EQ(Check(), "10 | 1 shown | wizard started") << "the same catalog again";
  EXPECT_NE(log.find("announced before"), std::string::npos) << log;
  Publish("3.04.0000");
  EXPECT_EQ(Check(false), "10 | 1 shown | wizard started");
  EXPECT_NE(log.find("an update is available, but the desktop cannot be told: no D-Bus session bus"), std::string::npos)
      << log;
  Installed("");
  EXPECT_EQ(Check(), "2 | 1 shown | wizard started");
  EXPECT_NE(log.find("Larkspire is not installed for this user"), std::string::npos) << log;
  EXPECT_TRUE(FilesIn(sandbox.File("tmp")).empty());
}

// With the maker's key built in, a check refuses a replayed older catalog
// exactly as the wizard does, and keeps the serial of one it accepts.
TEST_F(QuietCheck, ReadsSignedCatalogsByTheWizardsRules) {
  const std::string key = sandbox.File("maker.pem");
  FILE* out = popen((std::string(LARKSPIRE_PUBLISH) + " --generate-key '" + key + "'").c_str(), "r");
  char line[256] = {};
  ASSERT_TRUE(out && std::fgets(line, sizeof line, out));
  pclose(out);
  const std::string publicKey = std::string(line).substr(std::string(line).find('=') + 1, 88);
  ASSERT_EQ(std::system((std::string(LARKSPIRE_PUBLISH) + " --package '" + package + "' --base-url http://" +
                         nginx.Host() + "/downloads/ --out '" + server.Native() +
                         "' --component larkspire=3.03.0000 --sign-key '" + key + "'")
                            .c_str()),
            0);
  Road road(sandbox.Native(), nginx.Host());
  const auto check = [&](const std::string& stored) {
    Installed("3.02.0012");
    if (!stored.empty())
      WriteFileBytes(
          sandbox.File("config/larkspire/registry.reg"),
          ReadFileBytes(sandbox.File("config/larkspire/registry.reg")) + "\"CatalogSerial\"=\"" + stored + "\"\n");
    UpdateCheck quiet(road.Services(), nginx.Host());
    quiet.Catalog.Keys = {publicKey};
    bool done = false;
    quiet.Start([&] { done = true; });
    road.WaitFor([&] { return done; });
    return std::to_string(quiet.Result) + " " + quiet.CatalogIdentity;
  };
  const std::string accepted = check("");
  EXPECT_EQ(accepted.substr(0, 3), "10 ");
  EXPECT_NE(ReadFileBytes(sandbox.File("config/larkspire/registry.reg")).find(accepted.substr(3)), std::string::npos)
      << "the serial it accepted is kept";
  EXPECT_EQ(check("99991231235959"), "10 " + accepted.substr(3)) << "a serial from the future does not lock out";
  // A serial a minute ahead of the clock, as a later catalog accepted before would have left it.
  const std::time_t later = std::time(nullptr) + 60;
  std::tm tm{};
  gmtime_r(&later, &tm);
  char serial[16];
  std::strftime(serial, sizeof serial, "%Y%m%d%H%M%S", &tm);
  EXPECT_EQ(check(serial), "8 ") << "an older catalog replayed";
}
}  // namespace

#include "update_check_test.moc"
