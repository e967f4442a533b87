// larkspire-publish: its command line, the catalog it writes and the tree it
// publishes, read back with the wizard's own reader and rules.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "catalog/catalog_reading.hpp"
#include "catalog/catalog_rules.hpp"
#include "catalog_check.hpp"
#include "catalog_writer.hpp"
#include "fakes/fake_platform.hpp"
#include "install/crc32.hpp"
#include "install/integrity.hpp"
#include "local_files.hpp"
#include "publish_error.hpp"
#include "publisher.hpp"
#include "support/codepage.hpp"

namespace {
namespace fs = std::filesystem;

std::vector<std::string> Args(std::vector<std::string> extra, std::string url = "http://Updates.Example:8080/Dl/") {
  std::vector<std::string> args{"--package", "/x/Larkspire-3.03-Setup.MSI", "--base-url", url, "--out", "/srv"};
  args.insert(args.end(), extra.begin(), extra.end());
  return args;
}

// What the options hold in one line, or the error's one line.
std::string Parsed(const std::vector<std::string>& args) {
  try {
    const PublishOptions o = ParsePublishOptions(args);
    std::string s = o.help ? "help" : o.PackageUrl() + (o.disableSetup ? " off" : "");
    for (const auto& c : o.components)
      s += ", " + std::to_string(c.row) + " " + c.version + " " + c.exename + (c.enabled ? "" : "off");
    return s;
  } catch (const PublishError& e) {
    return "error " + std::to_string(e.ExitStatus()) + ": " + e.what();
  }
}

TEST(PublishOptions, WhatIsAcceptedAndOneClearLineForWhatIsNot) {
  const std::pair<std::vector<std::string>, std::string> rows[] = {
      {Args({"--component", "quillon=2.02.0000,exename=Caf\xC3\xA9.EXE", "--component", "Larkspire=3.03.0000",
             "--component", "qvmclock=1.01.0000,enabled=0"}),
       "http://updates.example:8080/dl/larkspire-3.03-setup.msi, 1 3.03.0000 , 3 2.02.0000 Caf\xC3\xA9.EXE, 6 "
       "1.01.0000 off"},
      {{"--package=p.msi", "--base-url=HTTP://127.0.0.1:8731/d", "--out=d", "--disable-setup"},
       "http://127.0.0.1:8731/d/p.msi off"},
      {Args({}, "http://h"), "http://h/larkspire-3.03-setup.msi"},
      {Args({}, "http://h/a/b.c/d_e~f-g/"), "http://h/a/b.c/d_e~f-g/larkspire-3.03-setup.msi"},
      {{"--out", "d", "-h"}, "help"},
      {Args({}, "https://h/"), "error 2: --base-url must begin with http:// (got \"https://h/\")"},
  };
  for (const auto& [args, expected] : rows) EXPECT_EQ(Parsed(args), expected);
  const std::pair<std::vector<std::string>, const char*> bad[] = {
      {Args({}, "http:///x/"), "host"},
      {Args({}, "http://h:0/"), "port"},
      {Args({}, "http://h/../x/"), "path"},
      {Args({}, "http://h/a%20b/"), "path"},
      {Args({}, "http://h/" + std::string(250, 'a') + "/"), "254"},
      {{"--package", "/x/setup", "--base-url", "http://h/", "--out", "d"}, "\".\""},
      {{"--package", "/x/set up.msi", "--base-url", "http://h/", "--out", "d"}, "file name"},
      {Args({"--component", "larkspire=3.3.0"}), "M.NN.BBBB"},
      {Args({"--component", "larkspire= 3.03.0000"}), "M.NN.BBBB"},
      {Args({"--component", "larkspire"}), "NAME=VERSION"},
      {Args({"--component", "larkspire=3000.00.0000"}), "too large"},
      {Args({"--component", "setup=3.03.0000"}), "unknown component"},
      {Args({"--component", "quillon=2.02.0000,enabled=2"}), "enabled=0|1"},
      {Args({"--component", "quillon=2.02.0000,size=2"}), "exename=NAME"},
      {Args({"--component", "quillon=2.02.0000,exename= q.exe"}), "blanks"},
      {Args({"--component", "quillon=2.02.0000,exename=\"q.exe\""}), "quotes"},
      {Args({"--component", "quillon=2.02.0000,exename=\xE4\xB8\xAD.exe"}), "Windows-1252"},
      {Args({"--component", "quillon=2.02.0000,exename=" + std::string(255, 'q')}), "254"},
      {Args({"--component", "quillon=2.02.0000", "--component", "QUILLON=2.03.0000"}), "twice"},
      {{"--base-url", "http://h/", "--out", "d"}, "--package"},
      {{"--package", "p.msi", "--base-url", "http://h/", "--out"}, "needs a value"},
      {Args({"--disable-setup=1"}), "unknown argument"},
  };
  for (const auto& [args, says] : bad) {
    const std::string got = Parsed(args);
    EXPECT_TRUE(got.starts_with("error 2: ") && got.find(says) != std::string::npos && got.find('\n') == got.npos)
        << got << " / wanted " << says;
  }
}

TEST(FillInOwnSize, TheSizeCountsItsOwnDigits) {
  for (std::size_t filler : {0, 1, 2, 3, 89, 90, 91, 92, 989, 990, 991, 9989, 9990, 9991}) {
    const std::string out = FillInOwnSize("size=@SIZE@\r\n" + std::string(filler, 'x'));
    EXPECT_EQ(out.substr(5, out.find('\r') - 5), std::to_string(out.size())) << filler;
  }
}

TEST(CheckPublishedCatalog, NamesTheFirstDifference) {
  TempDir dir;
  LocalReadFiles files;
  const auto o = ParsePublishOptions(Args({"--component", "quillon=2.02.0000,exename=Q.exe"}));
  const std::pair<std::string, const char*> rows[] = {
      {BuildCatalog(o, 0xCBF43926u), ""},
      {BuildCatalog(o, 0x12345678u), "crc"},
      {BuildCatalog(o, 0xCBF43926u) + "\r\n", "result"},
      {BuildCatalog(ParsePublishOptions(Args({"--component", "quillon=2.03.0000,exename=Q.exe"})), 0xCBF43926u),
       "version"},
      {BuildCatalog(ParsePublishOptions(Args({"--component", "quillon=2.02.0000,exename=R.exe"})), 0xCBF43926u),
       "component"},
      {BuildCatalog(ParsePublishOptions(
                        Args({"--component", "qvmclock=1.00.0000", "--component", "quillon=2.02.0000,exename=Q.exe"})),
                    0xCBF43926u),
       "list"},
      {BuildCatalog(ParsePublishOptions(Args({"--component", "quillon=2.02.0000,exename=Q.exe"}, "http://h/")),
                    0xCBF43926u),
       "url"},
  };
  for (const auto& [bytes, says] : rows) {
    WriteFileBytes(dir.File("updchk.ndf"), bytes);
    std::string error = "accepted";
    try {
      CheckPublishedCatalog(files, dir.File("updchk.ndf"), o, 0xCBF43926u);
    } catch (const PublishError& e) {
      error = std::to_string(e.ExitStatus()) + " " + e.what();
    }
    EXPECT_EQ(error == "accepted" ? "" : error.substr(0, 2), *says ? "1 " : "") << error;
    EXPECT_NE(error.find(says), std::string::npos) << error << " / wanted " << says;
  }
}

class PublishTree : public ::testing::Test {
 protected:
  // The program's whole road: its exit status, then what it said.
  std::string Run(std::vector<std::string> args) {
    std::ostringstream out, err;
    const int status = RunPublish(args, out, err);
    return std::to_string(status) + " " + out.str() + err.str();
  }
  std::string Publish(const std::string& name, const std::string& bytes, const std::string& version) {
    WriteFileBytes(packages.File(name), bytes);
    return Run({"--package", packages.File(name), "--base-url", "http://127.0.0.1:8731/dl/", "--out", tree.Native(),
                "--component", "larkspire=" + version, "--component", "quillon=2.02.0000,exename=Caf\xC3\xA9.EXE"});
  }
  // The catalog as the wizard reads it: fetched whole, then read through the
  // profile reader's buffer. In one line.
  std::string ReadCatalog() {
    WriteFileBytes(download.File("updchk.ndf"), ReadFileBytes(tree.File("browser/updchk.ndf")));
    const std::string path = download.Path() + "updchk.ndf";
    const CatalogReading r = EvaluateCatalog(
        [&](const std::string& s, const std::string& k) {
          char buffer[255];
          const auto n = fake.profiles.GetPrivateProfileString(s, k, "", buffer, 255, path);
          return AnsiToUtf8(std::string_view(buffer, n));
        },
        fake.files.OpenRead(path)->Length(), [](int, std::string& v) { return IsNewerVersion("0", v); });
    std::string s = std::to_string(r.result) + " " + r.setupUrl + " " + r.setupCrc;
    for (const auto& c : r.components) s += ", " + c.sFileName + " " + c.sVersion;
    return s;
  }
  std::vector<std::string> TreeFiles() const {
    std::vector<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(tree.Native()))
      if (!e.is_directory()) files.push_back(fs::relative(e.path(), tree.Native()).string());
    std::sort(files.begin(), files.end());
    return files;
  }

  FakePlatform fake;
  TempDir packages, tree, download;
};

TEST_F(PublishTree, EachUpdateGoesIntoTheTreeAndAFailureLeavesItAsItWas) {
  ASSERT_EQ(Publish("Setup-1.MSI", "first", "3.03.0000"), "0 ");
  ASSERT_EQ(Publish("setup-2.msi", std::string(100000, '2'), "3.04.0000"), "0 ");
  EXPECT_EQ(TreeFiles(), (std::vector<std::string>{"browser/updchk.ndf", "dl/setup-1.msi", "dl/setup-2.msi"}));
  EXPECT_EQ(ReadFileBytes(tree.File("dl/setup-2.msi")), std::string(100000, '2'));
  EXPECT_EQ(fs::status(tree.File("browser/updchk.ndf")).permissions() & fs::perms::others_read, fs::perms::others_read);
  const std::string catalog = ReadFileBytes(tree.File("browser/updchk.ndf"));
  EXPECT_NE(catalog.find("\r\nexename=Caf\xE9.EXE\r\n"), std::string::npos) << "in Windows-1252";
  const std::string reading = "1 http://127.0.0.1:8731/dl/setup-2.msi " + FormatCrc(Crc32(std::string(100000, '2'))) +
                              ", larkspire 3.04.0000, caf\xC3\xA9.exe 2.02.0000";
  EXPECT_EQ(ReadCatalog(), reading);
  // The new package's place is taken by a folder: nothing may move.
  fs::create_directories(tree.File("dl/setup-3.msi"));
  const std::string failed = Publish("setup-3.msi", "third", "3.05.0000");
  EXPECT_TRUE(failed.starts_with("1 larkspire-publish: ") && failed.find('\n') == failed.size() - 1) << failed;
  EXPECT_EQ(ReadFileBytes(tree.File("browser/updchk.ndf")), catalog);
  EXPECT_EQ(TreeFiles().size(), 3u);
}

TEST_F(PublishTree, BadInputWritesNothingAndSaysOneLine) {
  WriteFileBytes(packages.File("empty.msi"), "");
  fs::create_directory(packages.File("folder.msi"));
  for (const char* package : {"missing.msi", "empty.msi", "folder.msi", "noext"}) {
    const std::string said =
        Run({"--package", packages.File(package), "--base-url", "http://h/", "--out", tree.File("www")});
    EXPECT_TRUE(said.starts_with("2 larkspire-publish: ") && said.find('\n') == said.size() - 1) << said;
  }
  EXPECT_FALSE(fs::exists(tree.File("www")));
  EXPECT_EQ(Run({"--version"}), "0 larkspire-publish " LARKSPIRE_VERSION "\n");
  EXPECT_EQ(Run({"--help"}), "0 " + PublishUsage());
}

TEST_F(PublishTree, AReaderNeverSeesAHalfWrittenCatalogOrAMissingPackage) {
  ASSERT_EQ(Publish("setup.msi", "package", "3.03.0000"), "0 ");
  std::atomic<bool> done = false;
  std::thread publisher([&] {
    for (int i = 1; i <= 12; ++i)  // catalogs of different lengths, each naming its own package
      EXPECT_EQ(Publish("setup-" + std::string(i, 'x') + ".msi", "package " + std::to_string(i), "3.03.0000"), "0 ");
    done = true;
  });
  for (int reads = 0; (!done || reads == 0) && !HasFailure(); ++reads) {
    std::istringstream reading(ReadCatalog());
    std::string result, url, crc;
    reading >> result >> url >> crc;
    const std::string package = tree.File("dl/" + url.substr(url.rfind('/') + 1));
    EXPECT_EQ(result + " " + FormatCrc(Crc32(ReadFileBytes(package))) + ",", "1 " + crc) << url;
  }
  publisher.join();
}
}  // namespace
