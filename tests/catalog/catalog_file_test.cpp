// The update-information file as the catalog reads it: the profile rules
// over its bytes, the version rule, the reader over a real file (signed or
// not), and the component table that reading leaves.
#include <gtest/gtest.h>

#include <sstream>

#include "backends/common/profile_file_reader.hpp"
#include "backends/openssl/signature_verifier.hpp"
#include "catalog/catalog_rules.hpp"
#include "catalog/catalog_signature.hpp"
#include "catalog/profile_parser.hpp"
#include "catalog/update_catalog.hpp"
#include "fakes/fake_services.hpp"
#include "fakes/utc_time.hpp"
#include "signing_key.hpp"

using namespace std::string_literals;

// The value of key "k" in section "s" of each file; "<none>" when nothing is found.
TEST(ProfileDocument, KnownAnswers) {
  // clang-format off
  const std::pair<std::string, std::string> rows[] = {
      {"[t]\r\nk=b\r\n[S]\r\nK=a\r\nk=second\r\n", "a"},  // names in any case; the first key counts
      {"  [ s ]  \n  k \t=\t a b  \r\n", "a b"}, {"[s]\nk='single'\n", "single"}, {"[s]\nk=\"\"\n", ""},
      {"[s]\nk\nk=1\n", "<none>"},  // a key without "=" hides a later one
      {"[s]\rj=1\rk=a;b=c", "a;b=c"}, {"[s\nk=1\n[s] trailing\nk=2\n", "2"},
      {"[s]\nk=v\n\0"s, "<none>"},  // a NUL: no text
      {"\xEF\xBB\xBF[s]\nk=Caf\xC3\xA9\n", "Caf\xE9"},
      {"\xFF\xFE[\0s\0]\0\n\0k\0=\0\xE9\0\x2D\x4E"s, "\xE9?"},  // UTF-16, a letter beyond the code page
      {"[s]\nk=v\n" + std::string(kMaxProfileBytes - 8, ' '), "v"}, {"[s]\nk=v\n" + std::string(kMaxProfileBytes - 7, ' '), "<none>"}};
  // clang-format on
  for (const auto& [bytes, value] : rows)
    EXPECT_EQ(ProfileDocument::Parse(bytes).Value("s", "k").value_or("<none>"), value) << bytes.substr(0, 40);
}

// Whether the catalog's version of a component is newer than the installed
// one, and the version as the catalog keeps it. An installed text that is no
// number never loses; the major part may have any length, even none; beyond
// the signed 32-bit range nothing is newer; an offer not shaped M.NN.BBBB is
// kept as "0". (An equal version is the reader's first row.)
TEST(IsNewerVersion, KnownAnswers) {
  // clang-format off
  const std::tuple<const char*, const char*, const char*> rows[] = {
      {" 2.01.0003 ", "  2.01.0004  ", "1 2.01.0004"}, {"9.99.9999", "10.00.0000", "1 10.00.0000"},
      {"", "3.02.0013", "0 3.02.0013"}, {"0", ".00.0001", "1 .00.0001"},
      {"0", "2147.48.3647", "1 2147.48.3647"}, {"0", "2147.48.3648", "0 2147.48.3648"},
      {"0", "02.0012", "0 0"}, {"0", "30.2.0012", "0 0"}, {"0", "3.02.00123", "0 0"}, {"0", "2.01.000a", "0 0"}};
  // clang-format on
  for (const auto& [installed, offered, expected] : rows) {
    std::string version = offered;
    const bool newer = IsNewerVersion(installed, version);
    EXPECT_EQ(std::to_string(newer) + " " + version, expected) << installed << " vs " << offered;
  }
}

// A good update-information file (it offers the setup package, a newer
// quillon and two components not installed) changed by "section.key=value"
// edits, each put first in its section so that it wins, padded to the
// length its "size" names.
std::string CatalogBytes(const std::string& edits, int lengthOff = 0) {
  std::string bytes =
      "[setup]\r\nsize=1000\r\nenabled=1\r\nurl=http://updates.test:8731/dl/setup.msi\r\ncrc=cbf43926\r\n"
      "[larkspire]\r\nenabled=1\r\nversion=3.02.0012\r\n[rillgauge]\r\nenabled=1\r\nversion=1.00.0000\r\n"
      "[quillon]\r\nenabled=1\r\nversion=1.00.0002\r\nexename=Quillon.EXE\r\n[palvetta]\r\nenabled=0\r\n"
      "version=9.00.0000\r\n[qvmpanel]\r\nenabled=1\r\n[qvmclock]\r\nenabled=1\r\nversion=0.50.0000\r\n";
  std::istringstream in(edits);
  for (std::string e; in >> e;)
    bytes.insert(bytes.find("[" + e.substr(0, e.find('.')) + "]\r\n") + e.find('.') + 4,
                 e.substr(e.find('.') + 1) + "\r\n");
  bytes.resize(1000 + lengthOff, ' ');
  return bytes;
}

class ReadUpdateInfoTest : public ::testing::Test {
 protected:
  // Reads bytes as the downloaded file; the outcome and the table in one line.
  std::string Read(const std::string& bytes) {
    WriteFileBytes(dir.File("updchk.ndf"), bytes);
    table[0].sDownloadedFile = dir.Path() + "updchk.ndf";
    last = catalog.ReadUpdateInfo(table[0].sDownloadedFile, installed);
    std::string s = std::to_string(last.result);
    if (table[0].bVerified) s += " verified";
    for (std::size_t i = 1; i < table.size(); ++i)
      for (const std::string* f : {&table[i].sFileName, &table[i].sSourceUrl, &table[i].sVersion, &table[i].sCrc})
        if (!f->empty()) s += " " + *f;
    if (table.size() > 1 && table[1].lSize) s += " " + std::to_string(table[1].lSize) + " bytes";
    if (table.size() > 1 && !table[1].sSha256.empty()) s += " sha256 " + table[1].sSha256;
    return s;
  }

  TempDir dir;
  TestFileSystem files;
  ProfileFileReader profiles{files};
  ComponentTableType table = ComponentTableType(1);
  // The product compares with its stored version, not with the copy in the list.
  // clang-format off
  InstalledState installed{.AppPath = "", .AppVersion = " 3.02.0012 ", .CatalogSerial = "", .PackageCopies = "",
                           .InstalledVersions = {"9.99.9999", "0", "1.00.0001", "0", "0", "0"}};
  // clang-format on
  OpenSslSignatureVerifier verifier;
  UpdateCatalog catalog{
      {.files = &files, .profiles = &profiles, .verifier = &verifier}, table, "http://updates.test/browser/updchk.ndf"};
  CatalogOutcome last;
  const std::string good = "1 verified setup.msi http://updates.test:8731/dl/setup.msi CBF43926";
  const std::string listed = " rillgauge 1.00.0000 quillon.exe 1.00.0002 qvmclock 0.50.0000";
};

// Each outcome and the table it leaves, the package's address and CRC as
// they are checked, and which check decides when several things are wrong.
TEST_F(ReadUpdateInfoTest, OutcomeOfEachFile) {
  // clang-format off
  const std::tuple<std::string, int, std::string> rows[] = {
      {"", 0, good + listed},  // larkspire is current, palvetta off, qvmpanel without a version
      {"rillgauge.enabled=0 quillon.version=1.00.0001 qvmclock.version=0.50", 0, "2" + good.substr(1)},
      // A value is read through a buffer of 255 characters, and handed on in UTF-8.
      {"larkspire.version=3.02.0013 quillon.exename=Caf\xE9" + std::string(260, 'x'), 0,
       good + " larkspire 3.02.0013 rillgauge 1.00.0000 caf\xC3\xA9" + std::string(250, 'x') + " 1.00.0002 qvmclock 0.50.0000"},
      // (A file one byte longer than its size is the retry's last reading.)
      {"", -1, "0"}, {"setup.enabled=0 setup.url=ftp://h/s setup.crc=nothex", 0, "3 verified"},
      {"setup.enabled=0 palvetta.enabled=", 0, "0"}, {"setup.crc=cbf4392", 0, "0"},
      // Numbers in any decimal form; the address in lower case and UTF-8.
      {"setup.url=HTTP://Host/Dir/\xC9T\xC9.MSI setup.enabled=0.0 qvmpanel.enabled=1e3 setup.size=+01000", 0,
       "1 verified \xC3\xA9t\xC3\xA9.msi http://host/dir/\xC3\xA9t\xC3\xA9.msi CBF43926" + listed},
      {"setup.url=https://host/s.msi", 0, "0"}, {"setup.url=http://host/dir.d/setup", 0, "0"},
      // The package's name is stored as it stands: only a plain one will do.
      {"setup.url=http://host/dir.d/", 0, "0"}, {"setup.url=http://host/-rf.msi", 0, "0"},
      {"setup.url=http://host/Con.Setup.msi", 0, "0"}, {"setup.url=http://host/s.msi?x=%2f", 0, "0"},
      {"setup.url=http://host/s\xD7.msi", 0, "0"},
      {"setup.pkgsize=1073741824", 0, good + listed + " 1073741824 bytes"}, {"setup.pkgsize=1e6", 0, "0"},
      {"setup.sha256=" + std::string(63, 'A') + "B", 0, good + listed + " sha256 " + std::string(63, 'a') + "b"},
      {"setup.sha256=" + std::string(63, 'a'), 0, "0"}};
  // clang-format on
  for (const auto& [edits, off, expected] : rows) {
    table.assign(1, {});
    EXPECT_EQ(Read(CatalogBytes(edits, off)), expected) << edits;
  }
}

TEST_F(ReadUpdateInfoTest, ARetryLeavesNothingOfTheFirstReadingBehind) {
  ASSERT_EQ(Read(CatalogBytes("")), good + listed);
  table[1].sDownloadedFile = "kept";
  EXPECT_EQ(Read(CatalogBytes("rillgauge.enabled=0 qvmclock.enabled=0")), good + " quillon.exe 1.00.0002");
  EXPECT_EQ(table[1].sDownloadedFile, "kept");
  EXPECT_EQ(Read(CatalogBytes("", 1)), "0" + good.substr(10) + " quillon.exe 1.00.0002") << "an error leaves the table";
}

std::string ExpiresAt(std::int64_t fromNow) { return SerialAt(fromNow, "%Y-%m-%dT%H:%M:%SZ"); }
constexpr std::int64_t kHour = 3600, kDay = 24 * kHour;

// With the maker's keys built in, only a file one of them signed is read,
// with every field a signed file carries, published (its serial) neither
// before the build nor before the one accepted last nor more than a day
// ahead of the clock, and expiring at most 30 days after it was published;
// each refusal is an unusable file and a log line that says why. A serial
// stored from the future never holds back a genuine catalog. (A file the
// maker signed and the wizard keeps, and one unsigned, signed by another key
// or older than the serial kept, are the end-to-end roads' own rows.)
TEST_F(ReadUpdateInfoTest, WithKeysBuiltInOnlyWhatTheMakerSignedIsRead) {
  std::vector<std::unique_ptr<SigningKey>> keys;  // the current and the next key
  for (const char* name : {"current.pem", "next.pem"})
    GenerateSigningKey(dir.File(name)), keys.push_back(std::make_unique<SigningKey>(dir.File(name)));
  // A built-in key that is no key is passed over for the next.
  catalog.Keys = {"not a key", keys[0]->PublicKeyBase64(), keys[1]->PublicKeyBase64()};
  const std::string sha = std::string(64, 'c'), fields = "setup.sha256=" + sha + " setup.pkgsize=9";
  const std::string signedGood = good + listed + " 9 bytes sha256 " + sha;
  const std::string hourAgo = SerialAt(-kHour), weekOn = " setup.expires=" + ExpiresAt(7 * kDay);
  const std::string usual = fields + " setup.serial=" + hourAgo + weekOn;
  struct Row {
    std::string edits;
    std::size_t signer = 0;                        // the key that signed it
    std::pair<std::string, std::string> change{};  // a text replaced once the file is signed
    // The serial this user accepted last, the lowest serial the build takes, why it is refused ("": it is read).
    std::string stored{}, floor{}, reason{};
  };
  const std::string malformed = "trailer is malformed", base64 = "not the strict base64 of 64 bytes";
  // clang-format off
  const Row rows[] = {
      {.edits = usual, .signer = 1, .stored = hourAgo, .floor = SerialAt(-kDay)},
      {.edits = usual, .change = {"1.00.0002", "2.00.0002"}, .reason = "verifies under none"},
      // The trailer is the file's last two lines, begins a line of its own,
      // and holds the strict base64 of 64 bytes.
      {.edits = usual, .change = {"\r\n[signature]", "[signature]"}, .reason = malformed},
      {.edits = usual, .change = {"==\r\n", "==\r\nx=1\r\n"}, .reason = malformed}, {.edits = usual, .change = {"==\r\n", "=="}, .reason = malformed},
      {.edits = usual, .change = {"p256=", "p384="}, .reason = malformed}, {.edits = usual, .change = {"p256=", "p256= "}, .reason = base64},
      {.edits = usual, .change = {"p256=", "p256=AAAA"}, .reason = base64},
      {.edits = usual, .floor = SerialAt(0), .reason = "older than this program, which takes serials from"},
      {.edits = fields + " setup.serial=" + SerialAt(-8 * kDay) + " setup.expires=" + ExpiresAt(-kDay), .reason = "it expired at " + ExpiresAt(-kDay)},
      {.edits = fields + " setup.serial=" + hourAgo + " setup.expires=" + ExpiresAt(31 * kDay), .reason = "more than 30 days after its serial"},
      {.edits = fields + " setup.serial=" + hourAgo, .reason = "has no \"expires\""},
      {.edits = "setup.pkgsize=9 setup.serial=" + hourAgo + weekOn, .reason = "has no \"sha256\""},
      {.edits = fields + " setup.serial=" + hourAgo.substr(0, 12) + weekOn, .reason = "not a UTC publish time"},
      // One signed with a serial days ahead is not taken, so never kept: the
      // maker's next catalog goes through; one already kept is passed over.
      {.edits = fields + " setup.serial=" + SerialAt(2 * kDay) + weekOn, .reason = "more than a day ahead"},
      {.edits = usual, .stored = SerialAt(3 * kDay)}, {.edits = usual, .stored = "999999999999999999"}};
  // clang-format on
  for (const Row& row : rows) {
    std::string bytes = CatalogBytes(row.edits, -static_cast<int>(kSignatureTrailerSize) - 2) + "\r\n";
    bytes += SignatureTrailer(keys[row.signer]->Sign(bytes));
    if (const auto& [from, to] = row.change; !from.empty()) bytes.replace(bytes.find(from), from.size(), to);
    table.assign(1, {});
    installed.CatalogSerial = row.stored;
    catalog.SerialFloor = row.floor;
    testing::internal::CaptureStderr();
    const std::string read = Read(bytes);
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(read, row.reason.empty() ? signedGood : "0") << row.edits << " by " << row.signer;
    EXPECT_NE(log.find(row.reason), std::string::npos) << log;
    EXPECT_EQ(last.acceptedSerial, row.reason.empty() ? hourAgo : "") << row.edits;
  }
}
