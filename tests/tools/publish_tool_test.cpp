// larkspire-publish run as a maker runs it: the tree it writes, read back
// with the wizard's reader, served by nginx with the repository's
// configuration; bad input; publishing into an existing tree.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "catalog/catalog_reading.hpp"
#include "catalog/catalog_rules.hpp"
#include "fakes/fake_platform.hpp"
#include "install/crc32.hpp"
#include "install/integrity.hpp"
#include "platform/common/profile_file_reader.hpp"
#include "served_tree.hpp"
#include "support/codepage.hpp"
#include "tool_runner.hpp"

namespace {
namespace fs = std::filesystem;

class PublishToolTest : public ::testing::Test {
 protected:
  std::string Package(const std::string& name, const std::string& bytes) {
    WriteFileBytes(packages.File(name), bytes);
    return packages.File(name);
  }

  ToolRun Publish(const std::string& package, std::vector<std::string> extra = {}) {
    std::vector<std::string> args{"--package", package, "--base-url", "http://127.0.0.1:8731/dl/", "--out", Tree()};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunPublishTool(args);
  }

  std::string Tree() const { return tree.File("www"); }

  // The catalog as the wizard reads it: fetched whole into a file of its
  // own, then read through the profile reader with its 255-character
  // buffer, against a machine with nothing installed.
  CatalogReading ReadCatalog() {
    TempDir download;
    WriteFileBytes(download.File("updchk.ndf"), ReadFileBytes(Tree() + "/browser/updchk.ndf"));
    TestFileSystem files;
    ProfileFileReader reader(files);
    const std::string path = download.Path() + "updchk.ndf";
    return EvaluateCatalog(
        [&](const std::string& s, const std::string& k) {
          char buffer[255];
          const auto n = reader.GetPrivateProfileString(s, k, "", buffer, 255, path);
          return AnsiToUtf8(std::string_view(buffer, n));
        },
        files.OpenRead(path)->Length(), [](int, std::string& v) { return IsNewerVersion("0", v); });
  }

  // Every file below the tree, relative to it.
  std::vector<std::string> TreeFiles() const {
    std::vector<std::string> files;
    if (!fs::exists(Tree())) return files;
    for (const auto& e : fs::recursive_directory_iterator(Tree()))
      if (!e.is_directory()) files.push_back(fs::relative(e.path(), Tree()).string());
    std::sort(files.begin(), files.end());
    return files;
  }

  TempDir packages;
  TempDir tree;
};

TEST_F(PublishToolTest, WritesATreeTheWizardAccepts) {
  const std::string bytes = std::string(100000, 'p') + "larkspire setup";
  const ToolRun run =
      Publish(Package("Larkspire-Setup.MSI", bytes),
              {"--component", "larkspire=3.03.0000", "--component", "quillon=2.02.0000,exename=Quillon.EXE"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(TreeFiles(), (std::vector<std::string>{"browser/updchk.ndf", "dl/larkspire-setup.msi"}));
  EXPECT_EQ(ReadFileBytes(Tree() + "/dl/larkspire-setup.msi"), bytes);
  EXPECT_EQ(fs::status(Tree() + "/browser/updchk.ndf").permissions() & fs::perms::others_read, fs::perms::others_read);

  const CatalogReading r = ReadCatalog();
  ASSERT_EQ(r.result, crUpdatesAvailable);
  EXPECT_EQ(r.setupUrl, "http://127.0.0.1:8731/dl/larkspire-setup.msi");
  EXPECT_EQ(r.setupCrc, FormatCrc(Crc32(bytes)));
  ASSERT_EQ(r.components.size(), 2u);
  EXPECT_EQ(r.components[0].sFileName, "larkspire");
  EXPECT_EQ(r.components[1].sFileName, "quillon.exe");
  EXPECT_EQ(r.components[1].sVersion, "2.02.0000");
}

TEST_F(PublishToolTest, BadInputWritesNothingAndSaysOneLine) {
  const std::string good = Package("s.msi", "x");
  const std::string empty = Package("e.msi", "");
  fs::create_directory(packages.File("folder.msi"));
  const std::vector<std::vector<std::string>> bad = {
      {"--package", good, "--base-url", "https://h/", "--out", Tree()},
      {"--package", Package("noext", "x"), "--base-url", "http://h/", "--out", Tree()},
      {"--package", good, "--base-url", "http://h/", "--out", Tree(), "--component", "larkspire=3.3"},
      {"--package", good, "--base-url", "http://h/", "--out", Tree(), "--component", "browser=3.03.0000"},
      {"--package", packages.File("missing.msi"), "--base-url", "http://h/", "--out", Tree()},
      {"--package", empty, "--base-url", "http://h/", "--out", Tree()},
      {"--package", packages.File("folder.msi"), "--base-url", "http://h/", "--out", Tree()},
      {"--package", good, "--out", Tree()},
      {"--package", good, "--base-url", "http://h/", "--out", Tree(), "--verbose"},
  };
  for (const auto& args : bad) {
    const ToolRun run = RunPublishTool(args);
    EXPECT_EQ(run.status, 2) << args[1];
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(run.err.starts_with("larkspire-publish: ")) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_FALSE(fs::exists(Tree())) << run.err;
  }
}

TEST_F(PublishToolTest, HelpExplainsEveryOption) {
  const ToolRun run = RunPublishTool({"--help"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  for (const char* option : {"--package", "--base-url", "--out", "--component", "exename=", "enabled=0|1",
                             "--disable-setup", "--help", "--version", "updchk.ndf"})
    EXPECT_NE(run.out.find(option), std::string::npos) << option;
  EXPECT_EQ(RunPublishTool({"--version"}).out, "larkspire-publish " LARKSPIRE_VERSION "\n");
}

TEST_F(PublishToolTest, AFailureWhileWritingLeavesTheEarlierTreeAsItWas) {
  ASSERT_EQ(Publish(Package("one.msi", "first"), {"--component", "larkspire=3.03.0000"}).status, 0);
  const std::string catalog = ReadFileBytes(Tree() + "/browser/updchk.ndf");
  // The new package's place is taken by a folder: nothing may move.
  fs::create_directories(Tree() + "/dl/two.msi");
  const ToolRun run = Publish(Package("two.msi", "second"), {"--component", "larkspire=3.04.0000"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  EXPECT_EQ(ReadFileBytes(Tree() + "/browser/updchk.ndf"), catalog);
  EXPECT_EQ(TreeFiles(), (std::vector<std::string>{"browser/updchk.ndf", "dl/one.msi"}));
  // an --out below a file cannot be made
  const ToolRun below = RunPublishTool(
      {"--package", Package("s.msi", "x"), "--base-url", "http://h/", "--out", packages.File("s.msi") + "/tree"});
  EXPECT_EQ(below.status, 1);
  EXPECT_EQ(std::count(below.err.begin(), below.err.end(), '\n'), 1) << below.err;
}

TEST_F(PublishToolTest, ASecondUpdateGoesIntoTheExistingTree) {
  ASSERT_EQ(Publish(Package("setup-1.msi", "first"), {"--component", "larkspire=3.03.0000"}).status, 0);
  ASSERT_EQ(Publish(Package("setup-2.msi", "second"), {"--component", "larkspire=3.04.0000"}).status, 0);
  EXPECT_EQ(TreeFiles(), (std::vector<std::string>{"browser/updchk.ndf", "dl/setup-1.msi", "dl/setup-2.msi"}));
  const CatalogReading r = ReadCatalog();
  ASSERT_EQ(r.result, crUpdatesAvailable);
  EXPECT_EQ(r.setupFileName, "setup-2.msi");
  EXPECT_EQ(r.setupCrc, FormatCrc(Crc32(std::string_view("second"))));
  EXPECT_EQ(r.components[0].sVersion, "3.04.0000");
}

TEST_F(PublishToolTest, AReaderNeverSeesAHalfWrittenCatalogOrAMissingPackage) {
  ASSERT_EQ(Publish(Package("setup-0.msi", "package 0"), {"--component", "larkspire=3.03.0000"}).status, 0);
  std::atomic<bool> done{false};
  std::atomic<int> failures{0};
  std::thread publisher([&] {
    for (int i = 1; i <= 12; ++i) {
      // Catalogs of different lengths, each naming its own package.
      std::vector<std::string> extra{"--component", "larkspire=3.03.000" + std::to_string(i % 10)};
      if (i % 2)
        extra.insert(extra.end(), {"--component", "quillon=2.02.0000,exename=" + std::string(i, 'q') + ".exe"});
      if (Publish(Package("setup-" + std::to_string(i) + ".msi", "package " + std::to_string(i)), extra).status != 0)
        ++failures;
    }
    done = true;
  });
  int reads = 0;
  int bad = 0;
  TestFileSystem files;
  while ((!done || reads == 0) && bad == 0) {
    const CatalogReading r = ReadCatalog();
    ++reads;
    if (r.result != crUpdatesAvailable) {
      ADD_FAILURE() << "read " << reads << " gave result " << r.result;
      ++bad;
      continue;
    }
    // The package the catalog names is in place, whole.
    std::optional<std::uint32_t> crc;
    try {
      crc = FileCrc32(files, PosixFileSystem::FromNative(Tree() + "/dl/" + r.setupFileName));
    } catch (const std::exception&) {
    }
    if (!crc || FormatCrc(*crc) != r.setupCrc) {
      ADD_FAILURE() << "read " << reads << ": " << r.setupFileName << " is not in place as named";
      ++bad;
    }
  }
  publisher.join();
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(ReadCatalog().setupFileName, "setup-12.msi");
  for (const std::string& f : TreeFiles()) EXPECT_NE(f.find('/') + 1, f.find('.')) << "left behind: " << f;
}

TEST_F(PublishToolTest, TheTreeIsServedByTheRepositorysNginxConfiguration) {
  std::unique_ptr<ServedTree> server;
  fs::create_directories(Tree());
  try {
    server = std::make_unique<ServedTree>(Tree());
  } catch (const std::exception& e) {
    GTEST_SKIP() << e.what();
  }
  std::string bytes(200000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 131 + 7);
  const std::string base = "http://127.0.0.1:" + std::to_string(server->Port()) + "/Updates/";
  ASSERT_EQ(RunPublishTool({"--package", Package("Larkspire-Setup.MSI", bytes), "--base-url", base, "--out", Tree(),
                            "--component", "larkspire=3.03.0000"})
                .status,
            0);

  const HttpReply catalog = HttpGet(server->Port(), "/browser/updchk.ndf");
  ASSERT_EQ(catalog.status, 200) << catalog.headers;
  EXPECT_EQ(catalog.body, ReadFileBytes(Tree() + "/browser/updchk.ndf"));
  EXPECT_NE(catalog.body.find("size=" + std::to_string(catalog.body.size()) + "\r\n"), std::string::npos);
  EXPECT_NE(
      catalog.body.find("url=http://127.0.0.1:" + std::to_string(server->Port()) + "/updates/larkspire-setup.msi\r\n"),
      std::string::npos);

  const HttpReply package = HttpGet(server->Port(), "/updates/larkspire-setup.msi");
  ASSERT_EQ(package.status, 200) << package.headers;
  EXPECT_EQ(package.body, bytes);
  EXPECT_NE(catalog.body.find("crc=" + FormatCrc(Crc32(package.body))), std::string::npos);
  EXPECT_EQ(HttpGet(server->Port(), "/updates/missing.msi").status, 404);
}
}  // namespace
