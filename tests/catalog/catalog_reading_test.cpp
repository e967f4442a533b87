// The catalog's outcome from its values: each result, and the order in
// which the checks decide when several things are wrong.
#include "catalog/catalog_reading.hpp"

#include <gtest/gtest.h>

#include "catalog/catalog_rules.hpp"
#include "catalog/profile_parser.hpp"
#include "catalog_text.hpp"

namespace {
// The installed versions of rows 1 to 6: larkspire 3.02.0012, quillon
// 1.00.0001, the others not installed.
const std::string kInstalled[] = {"", "3.02.0012", "0", "1.00.0001", "0", "0", "0"};

struct Evaluation {
  CatalogReading reading;
  std::vector<std::string> sectionsRead;
};

Evaluation Evaluate(const std::string& bytes, std::int64_t length) {
  const ProfileDocument doc = ProfileDocument::Parse(bytes);
  Evaluation e;
  e.reading = EvaluateCatalog(
      [&](const std::string& section, const std::string& key) {
        e.sectionsRead.push_back(section);
        return doc.Value(section, key).value_or("").substr(0, 254);
      },
      length, [](int row, std::string& version) { return IsNewerVersion(kInstalled[row], version); });
  return e;
}

Evaluation Evaluate(const CatalogText& text) {
  const std::string bytes = text.Bytes();
  return Evaluate(bytes, static_cast<std::int64_t>(bytes.size()));
}

TEST(EvaluateCatalog, UpdatesAvailable) {
  const auto e = Evaluate(CatalogText::Good());
  ASSERT_EQ(e.reading.result, crUpdatesAvailable);
  EXPECT_EQ(e.reading.setupUrl, "http://updates.test:8731/dl/setup.msi");
  EXPECT_EQ(e.reading.setupFileName, "setup.msi");
  EXPECT_EQ(e.reading.setupCrc, "CBF43926");
  // rillgauge (not installed), quillon (newer) and qvmclock (not installed);
  // larkspire is current, palvetta off, qvmpanel has no version
  ASSERT_EQ(e.reading.components.size(), 3u);
  EXPECT_EQ(e.reading.components[0].sFileName, "rillgauge");
  EXPECT_EQ(e.reading.components[0].sVersion, "1.00.0000");
  EXPECT_EQ(e.reading.components[1].sFileName, "quillon.exe");
  EXPECT_EQ(e.reading.components[1].sVersion, "1.00.0002");
  EXPECT_EQ(e.reading.components[2].sFileName, "qvmclock");
  for (const auto& c : e.reading.components) {
    EXPECT_TRUE(c.sSourceUrl.empty());
    EXPECT_TRUE(c.sCrc.empty());
  }
}

TEST(EvaluateCatalog, UpToDateWhenNothingIsNewer) {
  auto text = CatalogText::Good();
  text.sections["rillgauge"] = "enabled=0\r\nversion=1.00.0000\r\n";
  text.sections["quillon"] = "enabled=1\r\nversion=1.00.0001\r\n";
  text.sections["qvmclock"] = "enabled=1\r\nversion=2.1.3\r\n";
  const auto e = Evaluate(text);
  EXPECT_EQ(e.reading.result, crUpToDate);
  EXPECT_TRUE(e.reading.components.empty());
  EXPECT_EQ(e.reading.setupFileName, "setup.msi");
}

TEST(EvaluateCatalog, NotAvailableWhenSetupIsOff) {
  auto text = CatalogText::Good();
  text.sections["setup"] = "size=@SIZE@\r\nenabled=0\r\nurl=ftp://bad\r\ncrc=xyz\r\n";
  const auto e = Evaluate(text);
  EXPECT_EQ(e.reading.result, crNotAvailable);
  EXPECT_TRUE(e.reading.setupUrl.empty());
  EXPECT_TRUE(e.reading.components.empty());
}

TEST(EvaluateCatalog, SizeMustBeTheFilesOwnLength) {
  const std::string bytes = CatalogText::Good().Bytes();
  const auto n = static_cast<std::int64_t>(bytes.size());
  EXPECT_EQ(Evaluate(bytes, n).reading.result, crUpdatesAvailable);
  EXPECT_EQ(Evaluate(bytes, n - 1).reading.result, crError);
  EXPECT_EQ(Evaluate(bytes, n + 1).reading.result, crError);
  EXPECT_EQ(Evaluate(bytes, -1).reading.result, crError);

  auto text = CatalogText::Good();
  for (const char* size : {"", "abc", "6.12e2", "99999999999"}) {
    text.sections["setup"] = std::string("size=") + size + "\r\nenabled=1\r\nurl=http://h/s.msi\r\ncrc=cbf43926\r\n";
    EXPECT_EQ(Evaluate(text).reading.result, crError) << "size: " << size;
  }
}

TEST(EvaluateCatalog, EveryEnabledMustBeNumeric) {
  for (const char* section : {"setup", "larkspire", "qvmclock"}) {
    for (const char* bad : {"", "yes", "1.0.0", ".", "1e", "0x1"}) {
      auto text = CatalogText::Good();
      std::string& lines = text.sections[section];
      const std::size_t at = lines.find("enabled=");
      const std::size_t end = lines.find("\r\n", at);
      lines.replace(at, end - at, std::string("enabled=") + bad);
      EXPECT_EQ(Evaluate(text).reading.result, crError) << section << " enabled=" << bad;
    }
  }
  // Any number other than the text "0" is on: "0.0" too.
  for (const char* on : {"00", "-1", "+0", "7", "0.0", "1.0", " .5 ", "1e3"}) {
    auto text = CatalogText::Good();
    text.sections["setup"] = std::string("size=@SIZE@\r\nenabled=") + on + "\r\nurl=http://h/s.msi\r\ncrc=cbf43926\r\n";
    EXPECT_EQ(Evaluate(text).reading.result, crUpdatesAvailable) << "enabled=" << on;
  }
}

TEST(EvaluateCatalog, AMissingSectionBeatsASwitchedOffUpdate) {
  auto text = CatalogText::Good();
  text.sections["setup"] = "size=@SIZE@\r\nenabled=0\r\n";
  text.sections.erase("palvetta");
  EXPECT_EQ(Evaluate(text).reading.result, crError);
}

TEST(EvaluateCatalog, ASwitchedOffUpdateBeatsABadUrlOrCrc) {
  auto text = CatalogText::Good();
  text.sections["setup"] = "size=@SIZE@\r\nenabled=0\r\nurl=ftp://h/s\r\ncrc=nothex\r\n";
  EXPECT_EQ(Evaluate(text).reading.result, crNotAvailable);
  text.sections["setup"] = "size=@SIZE@\r\nenabled=1\r\nurl=ftp://h/s\r\ncrc=cbf43926\r\n";
  EXPECT_EQ(Evaluate(text).reading.result, crError);
  text.sections["setup"] = "size=@SIZE@\r\nenabled=1\r\nurl=http://h/s.msi\r\ncrc=cbf4392\r\n";
  EXPECT_EQ(Evaluate(text).reading.result, crError);
  text.sections["setup"] = "size=@SIZE@\r\nenabled=1\r\nurl=http://h/dir/setup\r\ncrc=cbf43926\r\n";
  EXPECT_EQ(Evaluate(text).reading.result, crError);
}

TEST(EvaluateCatalog, OnlyTheSevenSectionsAreRead) {
  auto text = CatalogText::Good();
  text.extra = "[other]\r\nenabled=1\r\nversion=9.99.9999\r\n";
  const auto e = Evaluate(text);
  EXPECT_EQ(e.reading.result, crUpdatesAvailable);
  EXPECT_EQ(e.reading.components.size(), 3u);
  for (const auto& s : e.sectionsRead)
    EXPECT_NE(std::find(ComponentKeys.begin(), ComponentKeys.end(), s), ComponentKeys.end()) << s;
}

}  // namespace
