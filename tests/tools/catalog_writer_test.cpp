// The catalog the tool writes: its own length as "size", and what the
// wizard's reader and rules make of it.
#include "catalog_writer.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "catalog/catalog_reading.hpp"
#include "catalog/catalog_rules.hpp"
#include "catalog/profile_parser.hpp"
#include "catalog_check.hpp"
#include "fakes/fake_platform.hpp"
#include "local_files.hpp"
#include "publish_error.hpp"
#include "support/codepage.hpp"

namespace {
PublishOptions Options(std::initializer_list<std::string> extra) {
  std::vector<std::string> args{"--package", "Setup.MSI", "--base-url", "http://127.0.0.1:8731/dl/", "--out", "d"};
  args.insert(args.end(), extra);
  return ParsePublishOptions(args);
}

CatalogReading ReadBack(const std::string& bytes, const std::string& installed = "0") {
  const ProfileDocument doc = ProfileDocument::Parse(bytes);
  return EvaluateCatalog(
      [&](const std::string& s, const std::string& k) { return AnsiToUtf8(doc.Value(s, k).value_or("")); },
      static_cast<std::int64_t>(bytes.size()),
      [&](int, std::string& version) { return IsNewerVersion(installed, version); });
}

TEST(FillInOwnSize, TheSizeCountsItsOwnDigits) {
  // Lengths around every change in the number of digits.
  for (std::size_t filler : {0u,  1u,   2u,   3u,   4u,   5u,   80u,  88u,   89u,   90u,   91u,   92u,
                             93u, 980u, 988u, 989u, 990u, 991u, 992u, 9986u, 9987u, 9988u, 9989u, 9990u}) {
    const std::string text = "size=@SIZE@\r\n" + std::string(filler, 'x');
    const std::string out = FillInOwnSize(text);
    const std::string digits = out.substr(5, out.find('\r') - 5);
    EXPECT_EQ(std::to_string(out.size()), digits) << "filler " << filler;
  }
  EXPECT_EQ(FillInOwnSize("no placeholder"), "no placeholder");
}

TEST(BuildCatalog, ReadsBackAsPublished) {
  const auto o = Options({"--component", "larkspire=3.03.0000", "--component", "quillon=2.02.0000,exename=Quillon.EXE",
                          "--component", "palvetta=1.00.0001,enabled=0"});
  const std::string bytes = BuildCatalog(o, 0x0A1B2C3Du);
  const auto r = ReadBack(bytes);
  ASSERT_EQ(r.result, crUpdatesAvailable);
  EXPECT_EQ(r.setupUrl, "http://127.0.0.1:8731/dl/setup.msi");
  EXPECT_EQ(r.setupFileName, "setup.msi");
  EXPECT_EQ(r.setupCrc, "0A1B2C3D");
  ASSERT_EQ(r.components.size(), 2u);
  EXPECT_EQ(r.components[0].sFileName, "larkspire");
  EXPECT_EQ(r.components[0].sVersion, "3.03.0000");
  EXPECT_EQ(r.components[1].sFileName, "quillon.exe");
  // a machine with these versions installed is up to date
  EXPECT_EQ(ReadBack(bytes, "9.99.9999").result, crUpToDate);
  // every section is there with "enabled", the line ends are CR LF
  const ProfileDocument doc = ProfileDocument::Parse(bytes);
  for (const char* s : ComponentKeys) EXPECT_TRUE(doc.Value(s, "enabled").has_value()) << s;
  EXPECT_EQ(doc.Value("palvetta", "enabled"), "0");
  EXPECT_EQ(doc.Value("rillgauge", "enabled"), "0");
  EXPECT_EQ(bytes.find('\n'), bytes.find("\r\n") + 1);
  // one byte more or less and the wizard refuses it
  EXPECT_EQ(ReadBack(bytes + " ").result, crError);
  EXPECT_EQ(ReadBack(bytes.substr(0, bytes.size() - 1)).result, crError);
}

TEST(BuildCatalog, SwitchedOffAndNothingOffered) {
  EXPECT_EQ(ReadBack(BuildCatalog(Options({"--disable-setup", "--component", "larkspire=3.03.0000"}), 1)).result,
            crNotAvailable);
  EXPECT_EQ(ReadBack(BuildCatalog(Options({}), 1)).result, crUpToDate);
}

TEST(BuildCatalog, ExeNamesAreWrittenInWindows1252) {
  const std::string bytes =
      BuildCatalog(Options({"--component", "quillon=2.02.0000,exename=Caf\xC3\xA9.exe"}), 0xCBF43926u);
  EXPECT_NE(bytes.find("exename=Caf\xE9.exe\r\n"), std::string::npos);
  const auto r = ReadBack(bytes);
  ASSERT_EQ(r.components.size(), 1u);
  EXPECT_EQ(r.components[0].sFileName, "caf\xC3\xA9.exe");
}

TEST(CheckPublishedCatalog, AcceptsItsOwnOutputAndNamesAnyDifference) {
  TempDir dir;
  LocalReadFiles files;
  const auto o = Options({"--component", "quillon=2.02.0000,exename=Q.exe"});
  const std::string path = dir.File("updchk.ndf");
  WriteFileBytes(path, BuildCatalog(o, 0xCBF43926u));
  EXPECT_NO_THROW(CheckPublishedCatalog(files, path, o, 0xCBF43926u));

  auto expectDifference = [&](const std::string& bytes, const PublishOptions& opts, const char* says) {
    WriteFileBytes(path, bytes);
    try {
      CheckPublishedCatalog(files, path, opts, 0xCBF43926u);
      ADD_FAILURE() << "accepted; wanted " << says;
    } catch (const PublishError& e) {
      EXPECT_EQ(e.ExitStatus(), 1);
      EXPECT_NE(std::string(e.what()).find(says), std::string::npos) << e.what();
    }
  };
  expectDifference(BuildCatalog(o, 0x12345678u), o, "crc");
  expectDifference(BuildCatalog(o, 0xCBF43926u) + "\r\n", o, "result");
  auto other = Options({"--component", "quillon=2.03.0000,exename=Q.exe"});
  expectDifference(BuildCatalog(other, 0xCBF43926u), o, "version");
  other = Options({"--component", "quillon=2.02.0000,exename=R.exe"});
  expectDifference(BuildCatalog(other, 0xCBF43926u), o, "component");
  other = Options({"--component", "quillon=2.02.0000,exename=Q.exe", "--component", "qvmclock=1.00.0000"});
  expectDifference(BuildCatalog(other, 0xCBF43926u), o, "list");
  other = ParsePublishOptions({"--package", "Other.msi", "--base-url", "http://127.0.0.1:8731/dl/", "--out", "d",
                               "--component", "quillon=2.02.0000,exename=Q.exe"});
  expectDifference(BuildCatalog(other, 0xCBF43926u), o, "url");
  std::filesystem::remove(path);
  try {
    CheckPublishedCatalog(files, path, o, 0xCBF43926u);
    ADD_FAILURE() << "a missing catalog was accepted";
  } catch (const PublishError& e) {
    EXPECT_NE(std::string(e.what()).find("cannot be read"), std::string::npos) << e.what();
  }
}
}  // namespace
