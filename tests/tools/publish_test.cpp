// larkspire-publish: its command line, the catalog it writes and the tree it
// publishes, read back with the wizard's own reader and rules.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <thread>

#include "catalog/built_in_keys.hpp"
#include "catalog/profile_parser.hpp"
#include "fakes/fake_services.hpp"
#include "fakes/utc_time.hpp"
#include "install/crc32.hpp"
#include "install/integrity.hpp"
#include "publish_error.hpp"
#include "publisher.hpp"

namespace fs = std::filesystem;

// The words of a command line (no word here holds a blank).
std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  return {std::istream_iterator<std::string>(in), {}};
}

// What the options hold in one line, or the error's one line. "@" at the
// line's start stands for "--package /x/Larkspire-3.03-Setup.MSI --out /srv".
std::string Parsed(const std::string& line) {
  try {
    const PublishOptions o = ParsePublishOptions(
        Words(line.starts_with("@") ? "--package /x/Larkspire-3.03-Setup.MSI --out /srv" + line.substr(1) : line));
    std::string s = o.PackageUrl() + (o.disableSetup ? " off" : "");
    for (const auto& c : o.components)
      s += ", " + std::to_string(c.row) + " " + c.version + " " + c.exename + (c.enabled ? "" : "off");
    return s;
  } catch (const PublishError& e) {
    return "error " + std::to_string(e.ExitStatus()) + ": " + e.what();
  }
}

// An accepted line gives its options; a refused one, one line that says why (a part of it here).
TEST(PublishOptions, WhatIsAcceptedAndOneClearLineForWhatIsNot) {
  // clang-format off
  const std::pair<std::string, std::string> rows[] = {
      {"@ --base-url http://Updates.Example:8080/Dl/ --component quillon=2.02.0000,exename=Caf\xC3\xA9.EXE "
       "--component Larkspire=3.03.0000 --component qvmclock=1.01.0000,enabled=0",
       "http://updates.example:8080/dl/larkspire-3.03-setup.msi, 1 3.03.0000 , 3 2.02.0000 Caf\xC3\xA9.EXE, 6 1.01.0000 off"},
      {"--package=p.msi --base-url=HTTP://127.0.0.1:8731/d --out=d --disable-setup", "http://127.0.0.1:8731/d/p.msi off"},
      {"@ --base-url=http://[::1]:8731/dl/ --", "http://[::1]:8731/dl/larkspire-3.03-setup.msi"},
      {"@ --base-url http://[::g]:80/", "IPv6"}, {"@ --base-url http://h/ -- x", "\"x\" after --"},
      {"@ --base-url https://h/", "error 2: --base-url must begin with http:// (got \"https://h/\")"},
      {"@ --base-url http://h/../x/", "path"}, {"--package /x/setup --base-url http://h/ --out d", "\".\""},
      {"@ --base-url http://h/ --component larkspire=3.3.0", "M.NN.BBBB"},
      {"@ --base-url http://h/ --component setup=3.03.0000", "unknown component"},
      {"@ --base-url http://h/ --component quillon=2.02.0000,exename=\xE4\xB8\xAD.exe", "Windows-1252"},
      {"@ --base-url http://h/ --component quillon=2.02.0000,exename=" + std::string(255, 'q'), "254"},
      {"@ --base-url http://h/ --component quillon=2.02.0000 --component QUILLON=2.03.0000", "twice"},
      {"--print-public-key k --out d", "--print-public-key FILE stands alone"},
      {"@ --base-url http://h/ --serial 20261207183000", "need --sign-key"},
      {"@ --base-url http://h/ --sign-key k --serial 20261307183000", "UTC publish time as YYYYMMDDhhmmss"},
      {"@ --base-url http://h/ --sign-key k --expires-days 31", "1 to 30"}};
  // clang-format on
  for (const auto& [line, expected] : rows) {
    const std::string got = Parsed(line);
    const bool whole = expected.starts_with("http") || expected.starts_with("error");
    EXPECT_TRUE(whole ? got == expected : got.starts_with("error 2: ") && got.find(expected) != std::string::npos)
        << got << " / wanted " << expected;
  }
}

class PublishTree : public ::testing::Test {
 protected:
  // The program's whole road: its exit status, then what it said.
  std::string Run(const std::string& line) {
    std::ostringstream out, err;
    const int status = RunPublish(Words(line), out, err);
    return std::to_string(status) + " " + out.str() + err.str();
  }
  // A package of its own name, bytes and version, with more options.
  std::string Publish(const std::string& name, const std::string& bytes, const std::string& version,
                      const std::string& more = "") {
    WriteFileBytes(packages.File(name), bytes);
    return Run("--package " + packages.File(name) + " --base-url http://127.0.0.1:8731/dl/ --out " + tree.Native() +
               " --component larkspire=" + version + " --component quillon=2.02.0000,exename=Caf\xC3\xA9.EXE " + more);
  }
  // Whether the catalog's "size" is its length and its CRC its package's,
  // then its address, larkspire's version and quillon's name, as the
  // wizard's profile reader finds them (the wizard's acceptance of a
  // published tree is the end-to-end road's).
  std::string ReadCatalog() {
    const std::string bytes = ReadFileBytes(tree.File("browser/updchk.ndf"));
    const ProfileDocument doc = ProfileDocument::Parse(bytes);
    const auto value = [&](const char* section, const char* key) { return doc.Value(section, key).value_or("?"); };
    const std::string url = value("setup", "url");
    const std::string package = ReadFileBytes(tree.File("dl/" + url.substr(url.rfind('/') + 1)));
    return std::to_string(value("setup", "size") == std::to_string(bytes.size())) +
           std::to_string(FormatCrc(Crc32(package)) == value("setup", "crc")) + " " + url + ", " +
           value("larkspire", "version") + " " + value("quillon", "exename");
  }
  // The exit status, then one line that says why.
  static bool SaysOneLine(const std::string& said, const std::string& status) {
    return said.starts_with(status + " larkspire-publish: ") && said.find('\n') == said.size() - 1;
  }
  std::size_t FilesInTree() const {
    return std::count_if(fs::recursive_directory_iterator(tree.Native()), {},
                         [](auto& e) { return e.is_regular_file(); });
  }

  TempDir packages, tree;
};

// Each update goes into the tree whole: a reader meanwhile sees every
// catalog complete, with its package in place. A failure, or bad input,
// changes nothing and says one line.
TEST_F(PublishTree, EachUpdateGoesIntoTheTreeWholeAndAFailureLeavesItAsItWas) {
  ASSERT_EQ(Publish("Setup-1.MSI", "first", "3.03.0000"), "0 ");
  std::atomic<bool> done = false;
  std::thread reader([&] {
    do EXPECT_EQ(ReadCatalog().substr(0, 3), "11 ");  // complete, with its package
    while (!done && !HasFailure());
  });
  const std::string big(3 * kCrcReadPiece + 5, '2');
  for (int i = 2; i <= 12; ++i)  // catalogs of different lengths, each naming its own package
    EXPECT_EQ(Publish(std::string(i, 'x') + ".msi", i < 12 ? std::string(i, 'p') : big, "3.04.0000"), "0 ");
  done = true;
  reader.join();
  EXPECT_EQ(ReadFileBytes(tree.File("dl/setup-1.msi")) + std::to_string(FilesInTree()), "first13");
  EXPECT_EQ(fs::status(tree.File("browser/updchk.ndf")).permissions() & fs::perms::others_read, fs::perms::others_read);
  const std::string catalog = ReadFileBytes(tree.File("browser/updchk.ndf"));
  EXPECT_EQ(ReadCatalog(), "11 http://127.0.0.1:8731/dl/xxxxxxxxxxxx.msi, 3.04.0000 Caf\xE9.EXE");
  fs::create_directories(tree.File("dl/setup-3.msi"));  // the new package's place is taken: nothing may move
  EXPECT_PRED2(SaysOneLine, Publish("setup-3.msi", "third", "3.05.0000"), "1");
  WriteFileBytes(packages.File("empty.msi"), "");  // bad input writes nothing either
  fs::create_directory(packages.File("folder.msi"));
  const std::string bare = " --base-url http://h/ --out " + tree.Native();
  for (const char* bad : {"missing.msi", "empty.msi", "folder.msi"})
    EXPECT_PRED2(SaysOneLine, Run("--package " + packages.File(bad) + bare), "2");
  EXPECT_EQ(ReadFileBytes(tree.File("browser/updchk.ndf")) + std::to_string(FilesInTree()), catalog + "13");
  // Allowed, but said: a publish that offers nothing.
  EXPECT_EQ(Run("--package " + packages.File("Setup-1.MSI") + bare),
            "0 larkspire-publish: warning: no --component given: every component is written switched off, so wizards "
            "will find nothing newer to offer\n");
  EXPECT_EQ(Run("-v") + Run("--help"), "0 larkspire-publish " LARKSPIRE_VERSION "\n" +
                                           TrustPolicyText(UpdateInfoUrlOf(LARKSPIRE_UPDATE_HOST)) + "0 " +
                                           PublishUsage());
}

// A key is made once, private; each signed catalog carries its package's
// digest and length, and rises in serial.
TEST_F(PublishTree, SignedCatalogsCarryThePackagesDigestAndTheirSerialsRise) {
  const std::string key = packages.File("maker.pem"), made = Run("--generate-key " + key);
  ASSERT_TRUE(made.starts_with("0 LARKSPIRE_UPDATE_PUBLIC_KEYS=") && made.size() == 2 + 29 + 88 + 1) << made;
  EXPECT_EQ(fs::status(key).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_PRED2(SaysOneLine, Run("--generate-key " + key), "2");  // never over a key
  EXPECT_EQ(Run("--print-public-key " + key), made);
  // Each catalog verifies under that key before it is moved into place
  // (the tool reads it back with the wizard's check: a catalog that does not
  // verify is a failure). What it carries: the package's digest (the SHA-256
  // of "signed"), length and serial, and the length of its expiry time.
  const auto signedAs = [&] {
    const auto doc = ProfileDocument::Parse(ReadFileBytes(tree.File("browser/updchk.ndf")));
    const auto value = [&](const char* key) { return doc.Value("setup", key).value_or(""); };
    return value("sha256") + " " + value("pkgsize") + " " + value("serial") + " " +
           std::to_string(value("expires").size());
  };
  const std::string sha = "4a3cdfae6f291c8f544daea5b72905cf9e74c1ed427d831ad0d7ca00c73c794d";
  const std::string serial = SerialAt(-3600), signing = "--sign-key " + key + " --serial ";
  EXPECT_EQ(Publish("setup.msi", "signed", "3.03.0000", signing + serial + " --expires-days 2"), "0 ");
  EXPECT_EQ(ReadCatalog() + " " + signedAs(),
            "11 http://127.0.0.1:8731/dl/setup.msi, 3.03.0000 Caf\xE9.EXE " + sha + " 6 " + serial + " 20");
  // Refused, and the catalog left as it was: the same serial again, one two
  // days ahead of the clock, a key the group may read.
  const std::string shared = packages.File("shared.pem");
  fs::copy_file(key, shared);
  fs::permissions(shared, fs::perms::group_read, fs::perm_options::add);
  for (const std::string& more : {signing + serial, signing + SerialAt(2 * 86400), "--sign-key " + shared})
    EXPECT_PRED2(SaysOneLine, Publish("setup.msi", "signed", "3.04.0000", more), "2") << more;
  EXPECT_EQ(signedAs(), sha + " 6 " + serial + " 20");
  EXPECT_EQ(Publish("setup.msi", "signed", "3.04.0000", "--sign-key " + key), "0 ");
  EXPECT_EQ(signedAs().size(), (sha + " 6 YYYYMMDDhhmmss 20").size())
      << "by default the serial is the UTC second, and the catalog expires";
}
