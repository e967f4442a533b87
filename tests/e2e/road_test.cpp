// The road of one update and its failure roads, end to end: a real nginx
// serving a tree made by the publishing tool, the real window under the
// offscreen platform, the session bus, the desktop opener replaced by a
// script that records what it was given; and the quiet check (--check) on
// the same trees.
#include "road.hpp"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QEventLoop>
#include <QObject>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <regex>

#include "fakes/nginx_server.hpp"
#include "fakes/utc_time.hpp"
#include "support/codepage.hpp"
#include "support/diagnostics.hpp"
#include "wizard/update_check.hpp"

namespace {
std::string logged;  // the log lines written while a road runs
void RecordLine(LogArea area, LogLevel, std::string_view line) {
  logged += std::string(LogAreaName(area)) + ": " + std::string(line) + "\n";
}

// A user's situation, set up before the wizard starts, and where the road ends.
struct Situation {
  const char* name;
  std::string components = "--component larkspire=3.03.0000";
  // "App Path" as stored; "@product": the sandbox's product folder; "@locked": one the user cannot write;
  // "@unicode": one in scripts Windows-1252 cannot hold, nor the code page of Russian; "@unicode-temp" another.
  std::string appPath = "@product";
  std::string opener = "printf '%s' \"$1\" > \"$(dirname \"$0\")/opened.txt\"";  // "": none at all
  std::string registryText{};  // replaces the registry file when given
  // corruptPackage: the served package differs from the one published; missingPackage: the server has no package
  // where the catalog says; oversized: the server sends 2 MiB more than the catalog (the package, when signed)
  // should be; noBus: a session without a session bus (ssh, sudo).
  bool corruptPackage = false, missingPackage = false, oversized = false, noBus = false;
  // The catalog (published an hour ago) signed by the key built into the wizard (0) or by another (1); -1: unsigned.
  int signer = -1;
  bool keyBuiltIn = false;     // the wizard trusts the maker's key even when the catalog is unsigned
  std::string storedSerial{};  // the highest serial this user accepted before: "@older" or "@newer" than the catalog
  // The update server has moved to HTTPS and redirects every request there; its certificate is "good", for
  // "another" name or "expired"; "back": the HTTPS server sends every request back to http://.
  std::string https{};
  // ends: the page the road ends on, the dialogs and boxes shown, the package the opener was given, the exit
  // status; log: parts of the log's lines, in their order, between " ... ".
  std::string ends{}, log{};
  // windows: where the road ends on the Windows program under Wine: kAsOnLinux, or "" when it is not run there;
  // windowsDriver: options of the Windows road's driver ("@name" a folder as for appPath); windowsLang: the
  // user's language there, and with it the system's code page.
  std::string windows{}, windowsDriver{}, windowsLang{};
};
const std::string kAsOnLinux = "as on Linux";
// A road that ends on the check page: the update information could not be fetched.
const std::string kCheckFailed = "page 3 | dialog ";
const std::string kExitBox =
    " | box Larkspire AutoUpdate has not completed.\r\n\r\nAre you sure you want to exit "
    "Larkspire AutoUpdate? | exit 8";
// A certificate authority and a server's key and request, made by OpenSSL's own tool.
const std::string kCertificates =
    "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -subj '/CN=Test authority' -days 2 "
    "-keyout ca.key -out ca.pem 2>/dev/null && openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes "
    "-subj /CN=server -keyout server.key -out server.csr 2>/dev/null";

// The Windows build whose program the Windows roads run, and the update host built into it
// (scripts/test sets both once that build is made).
const char* const kWin32Build = std::getenv("LARKSPIRE_WIN32_BUILD");
int Win32Port() {
  const char* host = std::getenv("LARKSPIRE_WIN32_HOST");
  return host && std::strchr(host, ':') ? std::atoi(std::strchr(host, ':') + 1) : 0;
}
const std::string kCatalogSerial = SerialAt(-3600);
std::string StoredSerial(const std::string& token) {
  return token.empty() ? "" : token == "@older" ? SerialAt(-7200) : SerialAt(-1800);
}

// What a command printed on its standard output, and how it ended.
std::pair<std::string, int> RunCommand(const std::string& command) {
  FILE* out = popen(command.c_str(), "r");
  std::string said;
  for (char buffer[4096]; out && std::fgets(buffer, sizeof buffer, out);) said += buffer;
  return {said, out ? pclose(out) : -1};
}

// A folder of this machine as the Windows program names it (Wine's drive Z: is the root).
std::string WindowsPath(const std::string& path) { return "Z:" + std::regex_replace(path, std::regex("/"), "\\"); }

class RoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetLogSink(RecordLine);
    logged.clear();
    WriteFileBytes(package, std::string(300000, 'p') + "larkspire setup package");
  }
  void TearDown() override {
    road.reset();
    SetLogSink(nullptr);
    // Nothing of ours is left in the temporary folder.
    for (const std::string& name : FilesIn(sandbox.File("tmp"))) ADD_FAILURE() << "left behind: " << name;
    for (const std::string& name : FilesIn(sandbox.File("product")))
      if (name.starts_with("lkc")) ADD_FAILURE() << "unfinished copy left behind: " << name;
  }

  std::string Folder(const std::string& name) {
    if (!name.starts_with("@")) return name;
    const std::string folder = sandbox.File(name == "@unicode"        ? "home/łukasz/Программы"
                                            : name == "@unicode-temp" ? "home/łukasz/一時 ファイル"
                                                                      : name.substr(1));
    std::filesystem::create_directories(folder);
    if (name == "@shared") std::filesystem::permissions(folder, std::filesystem::perms::all);
    if (name != "@locked") return folder;
    std::filesystem::permissions(folder, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    return geteuid() == 0 ? "/sys/kernel" : folder;  // root is not stopped by permissions
  }

  // Sets the situation up and publishes the update; then the wizard starts.
  void Open(const Situation& s) {
    Publish(s);
    // What a killed run left a day ago: its download and its unfinished copy, which this run removes
    // (where Larkspire is installed: otherwise the wizard ends before it looks).
    const auto leftover = [](const std::string& path) {
      WriteFileBytes(path, "left");
      std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() - std::chrono::hours(24));
    };
    std::filesystem::create_directories(sandbox.File("tmp"));
    if (s.registryText.empty()) leftover(sandbox.File("tmp/lkdKilled1.tmp"));
    if (s.registryText.empty() && s.appPath == "@product") leftover(sandbox.File("product/lkclarkspire-setup.msi.tmp"));
    road = std::make_unique<Road>(sandbox.Native(), nginx.Host());
    if (s.signer >= 0 || s.keyBuiltIn) road->Form().Catalog.Keys = {publicKeys["maker.pem"]};
    road->Start();
  }

  // The update server moves to an HTTPS twin, and redirects there. The twin's certificate is issued by an
  // authority of the test's own, which only the test trusts: through SSL_CERT_FILE, as every program built on
  // OpenSSL reads it, and in the Windows program's store of the user's roots (the road driver puts it there).
  void MoveToHttps(const std::string& kind) {
    const std::string name = kind == "another" ? "DNS:elsewhere.invalid" : "IP:127.0.0.1,DNS:127.0.0.1";
    const std::string make = "cd '" + packages.Native() + "' && " + kCertificates +
                             " && printf 'subjectAltName=" + name +
                             "\\n' > server.ext && openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -days " +
                             (kind == "expired" ? "-1" : "2") + " -extfile server.ext -out server.pem 2>/dev/null";
    ASSERT_EQ(std::system(make.c_str()), 0);
    trust.emplace("SSL_CERT_FILE", packages.File("ca.pem").c_str());
    secure.emplace(server.Native(), 0,
                   NginxOptions{.certificate = packages.File("server.pem"),
                                .key = packages.File("server.key"),
                                .redirect = kind == "back" ? "http://" + nginx.Host() : ""});
    nginx.Serve({.redirect = "https://" + secure->Host()});
  }

  void Publish(const Situation& s) {
    if (!s.https.empty()) MoveToHttps(s.https);
    // An older Larkspire, as its installer left the registry.
    const std::string app = std::regex_replace(Folder(s.appPath), std::regex("\\\\"), "\\\\");
    const std::string installed =
        "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Tessarine\\LarkspireBrowser\\Main]\n\"App Version\"=\"3.02.0012\"\n" +
        (s.storedSerial.empty() ? "" : "\"CatalogSerial\"=\"" + StoredSerial(s.storedSerial) + "\"\n") +
        (app.empty() ? "" : "\"App Path\"=\"" + app + "\"\n") +
        "[HKEY_CURRENT_USER\\Software\\Tessarine\\Components]\n\"quillon\"=\"2.01.0003\"\n";
    std::filesystem::create_directories(sandbox.File("config/larkspire"));
    WriteFileBytes(sandbox.File("config/larkspire/registry.reg"), s.registryText.empty() ? installed : s.registryText);
    if (!s.opener.empty()) WriteFileBytes(opener, "#!/bin/sh\n" + s.opener + "\n");
    if (!s.opener.empty()) std::filesystem::permissions(opener, std::filesystem::perms::owner_all);
    // The publishing tool says on stderr what went wrong.
    const std::string key = MakeKey(s.signer == 1 ? "other.pem" : "maker.pem");
    const std::string signing = s.signer < 0 ? "" : " --serial " + kCatalogSerial + " --sign-key '" + key + "'";
    const std::string publish = std::string(LARKSPIRE_PUBLISH) + " --package '" + package + "' --base-url http://" +
                                nginx.Host() + "/downloads/ --out '" + server.Native() + "' " + s.components + signing;
    ASSERT_EQ(std::system(publish.c_str()), 0);
    const std::string served = server.File("downloads/" + FilesIn(server.File("downloads")).at(0));
    if (s.corruptPackage) WriteFileBytes(served, "not the package");
    if (s.missingPackage) std::filesystem::remove(served);
    if (const std::string grown = s.signer < 0 ? server.File("browser/updchk.ndf") : served; s.oversized)
      WriteFileBytes(grown, ReadFileBytes(grown) + std::string(2 << 20, ' '));
  }

  // What runs Wine in the user's language lang ("" the machine's own): the locale, made from the system's
  // sources into the test's folder, and with it the Windows code page of that language.
  std::string Language(const std::string& lang) {
    if (lang.empty()) return "";
    const std::string locales = packages.File("locales");
    if (!std::filesystem::exists(locales + "/" + lang)) {
      std::filesystem::create_directories(locales);
      const std::string make =
          "localedef -i " + lang.substr(0, lang.find('.')) + " -f UTF-8 '" + locales + "/" + lang + "'";
      EXPECT_EQ(std::system(make.c_str()), 0) << make << ": the sources of the locales (Debian's locales) are needed";
    }
    return "LOCPATH='" + locales + "' LANG=" + lang + " LC_ALL=" + lang + " ";
  }

  // The road on the Windows program, through its driver under Wine, in the words of Ends().
  std::string RunWindows(const Situation& s, const std::string& driverOptions = "", std::size_t padding = 0) {
    // The package is a small setup program that records where it was started from, in UTF-16 whatever the
    // code page (and that reads no further).
    package = packages.File("Larkspire-Setup.cmd");
    WriteFileBytes(package, "@cmd /u /c echo %~f0^> \"%~dp0opened.txt\"\r\n@exit /b\r\n" + std::string(padding, 'q'));
    Publish(s);
    std::string values;
    const auto set = [&](const std::string& value) { values += " --set '" + value + "'"; };
    if (s.registryText.empty()) {
      set("LarkspireBrowser\\Main|App Version|3.02.0012"), set("Components|quillon|2.01.0003");
      if (!s.appPath.empty()) set("LarkspireBrowser\\Main|App Path|" + WindowsPath(Folder(s.appPath)));
      if (!s.storedSerial.empty()) set("LarkspireBrowser\\Main|CatalogSerial|" + StoredSerial(s.storedSerial));
    }
    const std::string build = kWin32Build;
    std::string options = driverOptions;
    for (const std::string name : {"@unicode-temp"})
      for (std::size_t at; (at = options.find(name)) != std::string::npos;)
        options.replace(at, name.size(), "'" + WindowsPath(Folder(name)) + "'");
    const std::string said =
        RunCommand(Language(s.windowsLang) + "wine '" + build + "/tests/e2e/win32/larkspire-road-driver.exe' '" +
                   WindowsPath(build + "/src/app/larkspire-autoupdate.exe") + "' --seed" + values + options +
                   (s.https.empty() ? "" : " --trust '" + WindowsPath(packages.File("ca.pem")) + "'"))
            .first;
    const std::size_t status = said.rfind('\n', said.size() - 2);
    std::string ends = said.substr(0, status == std::string::npos ? 0 : status);
    // The setup program runs on its own once the wizard has handed it over.
    const std::string record = Folder(s.appPath) + "/opened.txt";
    std::string opened;
    for (int i = 0; i < 100 && ends.starts_with("page 7") && !opened.ends_with('\n'); ++i)
      if (const std::string bytes = ReadFileBytes(record); usleep(i ? 100000 : 0) == 0)
        opened = Utf16LeBytesToUtf8(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    if (!opened.empty()) {
      // Back from Wine's drive Z: to this machine's path.
      opened = std::regex_replace(opened.substr(2, opened.find_last_not_of(" \r\n") - 1), std::regex("\\\\"), "/");
      ends += " | opened " + opened + (ReadFileBytes(opened) == ReadFileBytes(package) ? "" : " (not the package)");
    }
    ends += " | exit " + said.substr(status + 1, said.size() - status - 2);
    for (const auto& [path, name] : {std::pair{sandbox.Native(), "@sandbox"}, std::pair{nginx.Host(), "@server"}})
      for (std::size_t at; (at = ends.find(path)) != std::string::npos;) ends.replace(at, path.size(), name);
    return ends;
  }

  // A maker's key made by the publishing tool, in the packages' folder; its public half is kept by name.
  std::string MakeKey(const std::string& name) {
    for (const std::string& key : {std::string("maker.pem"), name}) {
      if (publicKeys.count(key)) continue;
      const std::string said =
          RunCommand(std::string(LARKSPIRE_PUBLISH) + " --generate-key '" + packages.File(key) + "'").first;
      publicKeys[key] = said.substr(said.find('=') + 1, 88);
    }
    return packages.File(name);
  }

  bool WaitForPage(int page) {
    return road->WaitFor([&] { return road->Form().CurrentPage == page || !road->ErrorDialogs().empty(); }) &&
           road->Form().CurrentPage == page;
  }

  // Welcome, Next, Preparing, Next: the check runs until the result page (or, where it may, stops on the
  // check page).
  void CheckForUpdates(bool mayStop = false) {
    road->Click(Ctl::Cmd1);
    road->Click(Ctl::Cmd1);
    ASSERT_TRUE(WaitForPage(PageResult) || mayStop) << road->Caption(Ctl::Label1_3);
  }

  // Where the road ended, in one line, with the sandbox's folders by name.
  std::string Ends() {
    std::string out = "page " + std::to_string(road->Form().CurrentPage);
    if (road->Form().CurrentPage == PageResult)
      out += " " + road->Caption(Ctl::Label1_4).substr(0, road->Caption(Ctl::Label1_4).find('\r'));
    // The dialog joins an address's characters, so that it is broken nowhere.
    for (const std::string& text : road->ErrorDialogs())
      out += " | dialog " + std::regex_replace(text, std::regex("\u2060"), "");
    for (const ShownMessage& box : road->Boxes().shown) out += " | box " + box.prompt;
    const std::string opened = ReadFileBytes(sandbox.File("opened.txt"));
    if (!opened.empty())
      out += " | opened " + opened + (ReadFileBytes(opened) == ReadFileBytes(package) ? "" : " (not the package)");
    const int status = road->Process().endCount ? road->Process().lastExitStatus : road->Form().ExitCode();
    out += " | exit " + std::to_string(status);
    // Root's folder it may not write is one of the kernel's.
    // clang-format off
    const std::pair<std::string, std::string> names[] = {
        {sandbox.Native(), "@sandbox"}, {data.Native(), "@data"}, {"/sys/kernel", "@sandbox/locked"}, {nginx.Host(), "@server"}};
    // clang-format on
    for (const auto& [path, name] : names)
      for (std::size_t at; (at = out.find(path)) != std::string::npos;) out.replace(at, path.size(), name);
    return out;
  }

  TempDir sandbox, server, packages, data;
  ScopedEnv dataHome{"XDG_DATA_HOME", data.Native().c_str()};
  std::string opener = sandbox.File("opener.sh"), package = packages.File("Larkspire-Setup.MSI");
  ScopedEnv openerEnv{"LARKSPIRE_OPENER", opener.c_str()};
  NginxServer nginx{server.Native(), Win32Port()};
  std::optional<NginxServer> secure;
  std::optional<ScopedEnv> trust;
  std::unique_ptr<Road> road;
  std::map<std::string, std::string> publicKeys;
};

void PrintTo(const Situation& s, std::ostream* os) { *os << s.name; }

class UserRoad : public RoadTest, public ::testing::WithParamInterface<Situation> {};

// Each road goes as far as the user can: the check, Next, the download, Install.
TEST_P(UserRoad, EndsAsTheUserExpects) {
  const Situation& s = GetParam();
  std::optional<ScopedEnv> bus, runtime;
  if (s.noBus) bus.emplace("DBUS_SESSION_BUS_ADDRESS", nullptr), runtime.emplace("XDG_RUNTIME_DIR", nullptr);
  try {
    Open(s);
  } catch (const ProgramEnded&) {
  }
  if (road && road->Form().CurrentPage == PageWelcome && !road->Enabled(Ctl::Cmd1)) {
    road->Click(Ctl::Cmd2);  // the Welcome page's warning: Cancel is all there is
  } else if (road && road->Form().CurrentPage == PageWelcome) {
    CheckForUpdates(s.ends.starts_with(kCheckFailed));
    if (road->Form().RecheckPending) {
      // Update Error: the user reads why and stops there.
    } else if (!road->Enabled(Ctl::Cmd1)) {
      road->Click(Ctl::Cmd2);  // Finished
    } else if (road->Click(Ctl::Cmd1), WaitForPage(PageReady)) {
      road->Click(Ctl::Cmd1);  // Install
    }
  }
  ASSERT_TRUE(road);
  EXPECT_EQ(Ends(), s.ends);
  // What the wizard accepted it keeps, so the catalog can never be replayed to it.
  if (const std::string& accepted = road->Form().Catalog.AcceptedSerial; !accepted.empty()) {
    EXPECT_NE(ReadFileBytes(sandbox.File("config/larkspire/registry.reg")).find(accepted), std::string::npos);
  }
  for (std::size_t from = 0, to, at = 0; from <= s.log.size(); from = to + 5) {
    to = std::min(s.log.find(" ... ", from), s.log.size());
    at = logged.find(s.log.substr(from, to - from), at);
    ASSERT_NE(at, std::string::npos) << s.log.substr(from, to - from) << " is not in its place in\n" << logged;
  }
}

const std::string kUpdateError =
    "page 5 An error has occurred while attempting to read the Larkspire AutoUpdate file. It may have been corrupted "
    "during download. As it is, Larkspire AutoUpdate cannot continue. | exit 8";
const std::string
    kBack = "The server redirected the download to an address that is not allowed: http://@server/browser/updchk.ndf.",
    kOtherName = "The server's certificate could not be verified: it was issued for another name (127.0.0.1).",
    kExpired = "The server's certificate could not be verified: it has expired or is not valid yet (127.0.0.1).";
// clang-format off
const Situation kSituations[] = {
  {.name = "UpToDate", .components = "--component larkspire=3.02.0012 --component quillon=2.01.0003", .ends = "page 5 Congratulations! | exit 0", .windows = kAsOnLinux},
  {.name = "NotAvailable", .components = "--component larkspire=3.03.0000 --disable-setup", .ends = "page 5 Larkspire AutoUpdate is not available at this time. | exit 0"},
  // On Windows with the keyboard: once the dialog is closed, Enter would press Retry.
  {.name = "CorruptPackage", .corruptPackage = true, .ends = "page 6 | dialog The downloaded file was corrupt. | exit 8",
   .windows = "page 6 | dialog The downloaded file was corrupt. | keyboard on Retry | exit 8", .windowsDriver = " --keyboard"},
  {.name = "NotInstalledSaysSo", .registryText = "REGEDIT4\n", .ends = "page 0 | box Larkspire was either not installed or not\r\ninstalled properly. Please reinstall Larkspire.\r\n\r\nCannot continue with update. | exit 2", .windows = kAsOnLinux},
  {.name = "PackageMissingOnTheServer", .missingPackage = true, .ends = "page 6 | dialog The url could not be found. | exit 8", .windows = kAsOnLinux},
  {.name = "NoAppPathGoesToTheUsersOwnFolder", .appPath = "", .ends = "page 7 | opened @data/larkspire/larkspire-setup.msi | exit 0", .log = "larkspire.startup: \"App Path\" is not set"},
  {.name = "WindowsAppPathGoesToTheUsersOwnFolder", .appPath = "C:\\Program Files\\Larkspire", .ends = "page 7 | opened @data/larkspire/larkspire-setup.msi | exit 0", .log = "C:\\Program Files\\Larkspire\" is no folder here"},
  {.name = "ReadOnlyProductFolderSaysWhy", .appPath = "@locked", .ends = "page 6 | dialog The update could not be copied to @sandbox/locked: Permission denied. | exit 8", .log = "larkspire.install: The update could not be copied to"},
  {.name = "FailingOpenerShowsTheRunFailure", .opener = "echo 'no handler for this type' >&2; exit 3", .ends = "page 7 | box An error has occurred while attempting to run install program.\r\nPlease rerun Larkspire AutoUpdate. | exit 4", .log = "exit status 3"},
  {.name = "BrokenRegistryFileSaysWhereAndEndsNonZero", .registryText = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software]\n\"x\"=bogus\n", .ends = "page 0 | box Larkspire was either not installed or not\r\ninstalled properly. Please reinstall Larkspire.\r\n\r\nCannot continue with update. | exit 2", .log = "registry.reg: line 4"},
  // On Windows for a Russian user (code page 1251), with a temporary folder in Japanese: neither code page holds
  // both names.
  {.name = "ProductFolderInAnyScript", .appPath = "@unicode", .ends = "page 7 | opened @sandbox/home/łukasz/Программы/larkspire-setup.msi | exit 0",
   .windows = "page 7 | opened @sandbox/home/łukasz/Программы/larkspire-setup.cmd | exit 0", .windowsDriver = " --temp @unicode-temp", .windowsLang = "ru_RU.UTF-8"},
  {.name = "NoOpenerWarnsAndEndsNonZero", .opener = "", .ends = "page 1 | exit 5", .log = "larkspire.install: no installer service"},
  {.name = "NoSessionBusTellsNobodyAndGoesOn", .noBus = true, .ends = "page 7 | opened @sandbox/product/larkspire-setup.msi | exit 0", .log = "larkspire.broadcast: no D-Bus session bus (DBUS_SESSION_BUS_ADDRESS is not set)"},
  // Only the maker's catalog is trusted: one signed by anyone else (a proxy on the way), or an older one
  // replayed, gets no further than Update Error, and nothing is handed to the opener.
  {.name = "SignedUpdateInstalls", .signer = 0, .storedSerial = "@older", .ends = "page 7 | opened @sandbox/product/larkspire-setup.msi | exit 0"},
  {.name = "CatalogSignedByAnotherIsRefused", .signer = 1, .ends = kUpdateError, .log = "catalog: the update information from http:// ... verifies under none"},
  {.name = "ReplayedOlderCatalogIsRefused", .signer = 0, .storedSerial = "@newer", .ends = kUpdateError, .log = "is lower than ... the highest already accepted"},
  // A bound for each fetch: the catalog's (what its reader looks at) and, when signed, the package's length.
  {.name = "OversizedCatalogStopsAtItsBound", .oversized = true, .ends = kCheckFailed + "The download was stopped: the file is larger than the 1048576 bytes it may have." + kExitBox},
  {.name = "OversizedPackageStopsAtItsLength", .oversized = true, .signer = 0, .ends = "page 6 | dialog The download was stopped: the file is larger than the 300023 bytes it may have. | exit 8"},
  // What a default build (one that carries the maker's key) makes of whatever another local user serves at its host.
  {.name = "UnsignedCatalogAtTheBuiltInHostIsRefused", .keyBuiltIn = true, .ends = kUpdateError, .log = "has no [signature] trailer"},
  // A product folder that others may write: they could swap the package after its last check, so a copy only
  // the user can change is handed over. The Windows program has no folder of the user's to copy to: it refuses, and
  // nothing is opened.
  {.name = "ProductFolderOthersCanWriteHandsOverAPrivateCopy", .appPath = "@shared", .ends = "page 7 | opened @data/larkspire/larkspire-setup.msi | exit 0", .log = "shared can be written by every user: handing over a copy in", .windows = "page 7 | exit 4"},
  // An update server that moved to HTTPS: followed there, never back, and only with a certificate that checks.
  {.name = "ServerMovedToHttpsInstalls", .https = "good", .ends = "page 7 | opened @sandbox/product/larkspire-setup.msi | exit 0", .windows = "page 7 | opened @sandbox/product/larkspire-setup.cmd | exit 0"},
  {.name = "HttpsBackToHttpIsRefused", .https = "back", .ends = kCheckFailed + kBack + kExitBox, .windows = kCheckFailed + kBack + " | exit 8"},
  {.name = "CertificateForAnotherNameIsRefused", .https = "another", .ends = kCheckFailed + kOtherName + kExitBox, .windows = kCheckFailed + kOtherName + " | exit 8"},
  {.name = "ExpiredCertificateIsRefused", .https = "expired", .ends = kCheckFailed + kExpired + kExitBox, .windows = kCheckFailed + kExpired + " | exit 8"},
  // Each stage that went right is in the log (shown with --verbose). The Windows program goes it with the keyboard
  // alone, Enter for Next and Install as the dialog's default button (the other roads there click).
  {.name = "TheUsualRoad", .ends = "page 7 | opened @sandbox/product/larkspire-setup.msi | exit 0", .log = "broadcast: told the running Larkspire programs to close ... transfer: fetched http://127.0.0.1: ... updchk.ndf: ... bytes in ... catalog: the update information says: updates available: larkspire 3.03.0000; the package is http:// ... transfer: fetched ... larkspire-setup.msi: 300023 bytes ... is as announced: CRC-32 ... copied the verified package to ... broadcast: told ... install: handed", .windows = "page 7 | opened @sandbox/product/larkspire-setup.cmd | exit 0", .windowsDriver = " --keyboard"},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(Situations, UserRoad, ::testing::ValuesIn(kSituations),
                         [](const auto& info) { return std::string(info.param.name); });

// The same situations on the Windows program, where they are not Linux's own.
class WindowsRoad : public RoadTest, public ::testing::WithParamInterface<Situation> {};

TEST_P(WindowsRoad, EndsAsTheUserExpects) {
  if (!kWin32Build) GTEST_SKIP() << "LARKSPIRE_WIN32_BUILD names no Windows build";
  const Situation& s = GetParam();
  EXPECT_EQ(RunWindows(s, s.windowsDriver), s.windows == kAsOnLinux ? s.ends : s.windows);
}

std::vector<Situation> WindowsSituations() {
  std::vector<Situation> rows;
  for (const Situation& s : kSituations)
    if (!s.windows.empty()) rows.push_back(s);
  return rows;
}
INSTANTIATE_TEST_SUITE_P(Situations, WindowsRoad, ::testing::ValuesIn(WindowsSituations()),
                         [](const auto& info) { return std::string(info.param.name); });

// The package comes slowly (256 KB/s), so that Stop finds it on its way.
TEST_F(RoadTest, StopHalfwayAsksDeletesThePartRetryCompletesAndALateYesStopsNothing) {
  WriteFileBytes(package, std::string(1 << 20, 'q'));
  Open({.name = "stop"});
  CheckForUpdates();
  WriteFileBytes(server.File(".slow"), "");
  road->Click(Ctl::Cmd1);
  ASSERT_TRUE(road->WaitFor([&] { return !road->Caption(Ctl::lblInfo0).empty(); })) << road->Caption(Ctl::Label1_3);
  road->Boxes().answers = {Mb::No, Mb::Yes, Mb::Yes};
  road->Click(Ctl::cmdLoad0);
  EXPECT_NE(road->Caption(Ctl::Label1_3), "Download stopped");
  road->Click(Ctl::cmdLoad0);
  EXPECT_EQ(road->Caption(Ctl::Label1_3), "Download stopped");
  EXPECT_TRUE(FilesIn(road->TempFolder()).empty());
  road->Click(Ctl::cmdLoad1);
  // Stop once more, its question open until the package has arrived and the Ready page is up: Install still works.
  road->Boxes().whileOpen = [&] { WaitForPage(PageReady); };
  road->Click(Ctl::cmdLoad0);
  road->Click(Ctl::Cmd1);
  const std::string asked = " | box Are you sure you want to stop this download?";
  EXPECT_EQ(Ends(), "page 7" + asked + asked + asked + " | opened @sandbox/product/larkspire-setup.msi | exit 0");
}

// The quiet check reads the catalog by the wizard's own reader and rules: with the maker's key built in, it keeps
// the serial of a catalog it accepts, and refuses the same catalog once a later one has been accepted.
TEST_F(RoadTest, TheQuietCheckKeepsTheSerialItAcceptsAndRefusesAReplay) {
  Publish({.name = "check", .signer = 0, .storedSerial = "@older"});
  road = std::make_unique<Road>(sandbox.Native(), nginx.Host());
  const auto check = [&] {
    UpdateCheck quiet(road->Services(), nginx.Host());
    quiet.Catalog.Keys = {publicKeys["maker.pem"]};
    bool done = false;
    quiet.Start([&] { done = true; });
    road->WaitFor([&] { return done; });
    return quiet.Result;
  };
  const std::string registry = sandbox.File("config/larkspire/registry.reg");
  EXPECT_EQ(check(), UpdateCheck::UpdateAvailable);
  EXPECT_NE(ReadFileBytes(registry).find(kCatalogSerial), std::string::npos) << "the serial it accepted is kept";
  WriteFileBytes(registry,
                 std::regex_replace(ReadFileBytes(registry), std::regex(kCatalogSerial), StoredSerial("@newer")));
  EXPECT_EQ(check(), UpdateCheck::Failed) << "an older catalog replayed";
}

// The desktop's notification service, as far as a quiet check uses it: it records each notification and, like a
// user who clicks it, takes its action.
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

// The quiet check as a timer runs it (larkspire-autoupdate --check): the real program, fetching from its built-in
// host (a second server of the same tree), with the notification service above on the session bus. Up to date says
// nothing; a new catalog is announced once, and its action starts the wizard; without a session bus only the status
// and the log tell; a Larkspire not installed is status 2.
TEST_F(RoadTest, TheQuietCheckTellsTheDesktopOnceAboutEachNewUpdate) {
  NginxServer builtIn{server.Native(), std::atoi(std::strchr(LARKSPIRE_UPDATE_HOST, ':') + 1)};
  FakeNotifications service;
  QDBusConnection bus = QDBusConnection::sessionBus();
  ASSERT_TRUE(bus.registerObject("/org/freedesktop/Notifications", &service,
                                 QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
  ASSERT_TRUE(bus.registerService("org.freedesktop.Notifications"));
  for (const char* folder : {"state", "tmp", "run"}) std::filesystem::create_directories(sandbox.File(folder));
  std::filesystem::permissions(sandbox.File("run"), std::filesystem::perms::owner_all);
  WriteFileBytes(sandbox.File("wizard.sh"), "#!/bin/sh\necho started >> \"$(dirname \"$0\")/wizard.txt\"\n");
  std::filesystem::permissions(sandbox.File("wizard.sh"), std::filesystem::perms::owner_all);
  std::string log;
  // Runs the check; its exit status, the notifications shown so far, and whether the wizard was started.
  const auto check = [&](bool withBus = true) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
    if (!withBus) env.remove("DBUS_SESSION_BUS_ADDRESS");
    // clang-format off
    const std::pair<const char*, std::string> settings[] = {
        {"HOME", sandbox.Native()}, {"XDG_CONFIG_HOME", sandbox.File("config")}, {"XDG_STATE_HOME", sandbox.File("state")},
        {"XDG_RUNTIME_DIR", withBus ? sandbox.File("run") : ""}, {"TMPDIR", sandbox.File("tmp")}, {"LARKSPIRE_WIZARD", sandbox.File("wizard.sh")}};
    // clang-format on
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
  };
  Publish({.name = "check", .components = "--component larkspire=3.02.0012"});
  EXPECT_EQ(check(), "0 | 0 shown | wizard ");
  Publish({.name = "check"});
  EXPECT_EQ(check(), "10 | 1 shown | wizard started");
  EXPECT_EQ(service.shown.front().toStdString(),
            "Larkspire updates are available | Larkspire AutoUpdate has determined that the following Larkspire "
            "components can be updated:\nlarkspire 3.03.0000 | default,Update now");
  EXPECT_EQ(check(), "10 | 1 shown | wizard started") << "the same catalog again";
  EXPECT_NE(log.find("announced before"), std::string::npos) << log;
  Publish({.name = "check", .components = "--component larkspire=3.04.0000"});
  EXPECT_EQ(check(false), "10 | 1 shown | wizard started");
  EXPECT_NE(log.find("an update is available, but the desktop cannot be told: no D-Bus session bus"), std::string::npos)
      << log;
  WriteFileBytes(sandbox.File("config/larkspire/registry.reg"), "REGEDIT4\n");
  EXPECT_EQ(check(), "2 | 1 shown | wizard started");
  EXPECT_NE(log.find("Larkspire is not installed for this user"), std::string::npos) << log;
  bus.unregisterService("org.freedesktop.Notifications");
  bus.unregisterObject("/org/freedesktop/Notifications");
}

// Stop half-way on the Windows program, the question answered No, then Stop again and Yes: stopped; Retry
// completes and Install hands over.
TEST_F(RoadTest, WindowsRoadStopThenRetry) {
  if (!kWin32Build) GTEST_SKIP() << "LARKSPIRE_WIN32_BUILD names no Windows build";
  WriteFileBytes(server.File(".slow"), "");
  // With the keyboard: No keeps the download, and the keyboard on Stop, where Enter asks again; once stopped,
  // and after a switch to another program and back, Enter presses Retry.
  const std::string question = " | box Are you sure you want to stop this download? | keyboard on ";
  EXPECT_EQ(RunWindows({.name = "stop"}, " --stop-retry --keyboard --answers NY", 1 << 20),
            "page 7" + question + "Stop" + question +
                "Retry | Download stopped | keyboard on Retry after a switch | opened "
                "@sandbox/product/larkspire-setup.cmd | exit 0");
}

// The quiet check of the Windows program, as its scheduled task runs it: up to date after the road has
// installed nothing newer, with the installed state the road's driver seeded in the prefix's registry.
TEST_F(RoadTest, WindowsRoadQuietCheck) {
  if (!kWin32Build) GTEST_SKIP() << "LARKSPIRE_WIN32_BUILD names no Windows build";
  const Situation upToDate{.name = "check", .components = "--component larkspire=3.02.0012"};
  EXPECT_EQ(RunWindows(upToDate), "page 5 Congratulations! | exit 0");
  const std::string exe = WindowsPath(std::string(kWin32Build) + "/src/app/larkspire-autoupdate.exe");
  // With its log also in a file, as a task started without a console would keep it.
  const std::string log = sandbox.File("check.log");
  const auto [said, status] =
      RunCommand("wine '" + exe + "' --check --verbose --log-file '" + WindowsPath(log) + "' 2>&1");
  EXPECT_EQ(WEXITSTATUS(status), 0) << said;
  EXPECT_NE(said.find("the check found Larkspire up to date"), std::string::npos) << said;
  EXPECT_NE(ReadFileBytes(log).find("the check found Larkspire up to date"), std::string::npos) << ReadFileBytes(log);
}

}  // namespace

#include "road_test.moc"
