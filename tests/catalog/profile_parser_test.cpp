// The profile-file reader: its rules over bytes, and the reader over real
// files as the catalog uses it.
#include "catalog/profile_parser.hpp"

#include <gtest/gtest.h>

#include <cstring>

#include "fakes/fake_platform.hpp"
#include "platform/common/profile_file_reader.hpp"

namespace {
std::string ValueOr(const ProfileDocument& doc, const char* section, const char* key, const char* none = "<none>") {
  return doc.Value(section, key).value_or(none);
}

TEST(ProfileParser, SectionsAndKeysWithoutRegardToCase) {
  const auto doc = ProfileDocument::Parse("[Setup]\r\nURL=http://h/a.msi\r\n[other]\r\nurl=x\r\n");
  EXPECT_EQ(ValueOr(doc, "setup", "url"), "http://h/a.msi");
  EXPECT_EQ(ValueOr(doc, "SETUP", "Url"), "http://h/a.msi");
  EXPECT_EQ(ValueOr(doc, "OTHER", "URL"), "x");
  EXPECT_EQ(ValueOr(doc, "setup", "crc"), "<none>");
  EXPECT_EQ(ValueOr(doc, "missing", "url"), "<none>");
  // letters of the code page beyond ASCII fold too: [Éa] matches "éA"
  const auto accented = ProfileDocument::Parse(
      "[\xC9"
      "a]\nk=1\n");
  EXPECT_EQ(ValueOr(accented,
                    "\xE9"
                    "A",
                    "K"),
            "1");
}

TEST(ProfileParser, BlanksAroundNamesAndValuesAreDropped) {
  const auto doc = ProfileDocument::Parse("  [ setup ]  \n  size \t=\t 612  \r\n\tname = a b  \n");
  EXPECT_EQ(ValueOr(doc, "setup", "size"), "612");
  EXPECT_EQ(ValueOr(doc, "setup", "name"), "a b");
}

TEST(ProfileParser, OneMatchingPairOfQuotesIsRemoved) {
  const auto doc = ProfileDocument::Parse(
      "[s]\na=\"quoted value\"\nb='single'\nc=\"mixed'\nd=\"\ne=\"\"\nf= \" inner \" \ng=\"\"x\"\"\n");
  EXPECT_EQ(ValueOr(doc, "s", "a"), "quoted value");
  EXPECT_EQ(ValueOr(doc, "s", "b"), "single");
  EXPECT_EQ(ValueOr(doc, "s", "c"), "\"mixed'");
  EXPECT_EQ(ValueOr(doc, "s", "d"), "\"");
  EXPECT_EQ(ValueOr(doc, "s", "e"), "");
  EXPECT_EQ(ValueOr(doc, "s", "f"), " inner ");
  EXPECT_EQ(ValueOr(doc, "s", "g"), "\"x\"");
}

TEST(ProfileParser, FirstOfDuplicateKeysAndSectionsWins) {
  const auto doc = ProfileDocument::Parse("[s]\nk=first\nK=second\n[t]\nk=t\n[S]\nk=third\nonly=later\n");
  EXPECT_EQ(ValueOr(doc, "s", "k"), "first");
  EXPECT_EQ(ValueOr(doc, "t", "k"), "t");
  // a later section of the same name is not read
  EXPECT_EQ(ValueOr(doc, "s", "only"), "<none>");
  // a key line without "=" shadows a later value of the same key
  const auto bare = ProfileDocument::Parse("[s]\nenabled\nenabled=1\n");
  EXPECT_EQ(ValueOr(bare, "s", "enabled"), "<none>");
}

TEST(ProfileParser, LineEndsAndSemicolons) {
  const auto doc = ProfileDocument::Parse("[s]\r\na=1\r\nb=2\nc=3");
  EXPECT_EQ(ValueOr(doc, "s", "a"), "1");
  EXPECT_EQ(ValueOr(doc, "s", "b"), "2");
  EXPECT_EQ(ValueOr(doc, "s", "c"), "3");
  // ";" begins a key name, as the system's reader treats it; a value may
  // hold ";" and "=" too
  const auto semi = ProfileDocument::Parse("[s]\n;note=hello\nv=a;b=c\n");
  EXPECT_EQ(ValueOr(semi, "s", ";note"), "hello");
  EXPECT_EQ(ValueOr(semi, "s", "v"), "a;b=c");
}

TEST(ProfileParser, LinesOutsideSectionsAndBrokenHeadersFindNothing) {
  const auto doc = ProfileDocument::Parse("size=1\n[s\nk=1\n[t] trailing\nk=2\n[a]b]\nk=3\n");
  EXPECT_EQ(ValueOr(doc, "", "size"), "<none>");
  EXPECT_EQ(ValueOr(doc, "s", "k"), "<none>");
  EXPECT_EQ(ValueOr(doc, "t", "k"), "2");
  EXPECT_EQ(ValueOr(doc, "a]b", "k"), "3");
}

TEST(ProfileParser, WhatIsNoProfileFileFindsNothing) {
  // no sections
  EXPECT_EQ(ProfileDocument::Parse("just text\nk=v\n").SectionCount(), 0u);
  EXPECT_EQ(ProfileDocument::Parse("").SectionCount(), 0u);
  // a NUL byte: not text (nor is UTF-16 without its byte-order mark)
  EXPECT_EQ(ProfileDocument::Parse(std::string("[s]\nk=v\n\0", 9)).SectionCount(), 0u);
  EXPECT_EQ(ProfileDocument::Parse(std::string("[\0s\0]\0", 6)).SectionCount(), 0u);
  // huge
  std::string huge = "[s]\nk=v\n";
  huge.resize(kMaxProfileBytes + 1, ' ');
  EXPECT_EQ(ProfileDocument::Parse(huge).SectionCount(), 0u);
  huge.resize(kMaxProfileBytes);
  EXPECT_EQ(ValueOr(ProfileDocument::Parse(huge), "s", "k"), "v");
}

TEST(ProfileParser, ByteOrderMarkMeansUtf8) {
  const auto doc = ProfileDocument::Parse("\xEF\xBB\xBF[setup]\nname=Caf\xC3\xA9\n");
  EXPECT_EQ(ValueOr(doc, "setup", "name"), "Caf\xE9");  // handed on in Windows-1252
  // UTF-16 with its mark, as the system's reader takes it, in either byte order
  EXPECT_EQ(ValueOr(ProfileDocument::Parse(std::string("\xFF\xFE[\0s\0]\0\n\0k\0=\0\xE9\0", 16)), "s", "k"), "\xE9");
  EXPECT_EQ(ValueOr(ProfileDocument::Parse(std::string("\xFE\xFF\0[\0s\0]\0\n\0k\0=\x20\xAC", 16)), "s", "k"), "\x80");
  // without the mark the bytes are Windows-1252 already
  const auto plain = ProfileDocument::Parse("[setup]\nname=Caf\xE9\n");
  EXPECT_EQ(ValueOr(plain, "setup", "name"), "Caf\xE9");
}

class ProfileFileReaderTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& bytes) {
    WriteFileBytes(dir.File(name), bytes);
    return dir.Path() + name;
  }
  // The reader called as the catalog calls it: default "", 255 characters.
  std::string Read(const std::string& file, const char* section, const char* key, std::uint32_t size = 255) {
    std::vector<char> buffer(size + 1, 'X');
    const std::uint32_t n = reader.GetPrivateProfileString(section, key, "", buffer.data(), size, file);
    EXPECT_LT(n, size);
    EXPECT_EQ(buffer[n], '\0');
    return std::string(buffer.data(), n);
  }
  TempDir dir;
  TestFileSystem files;
  ProfileFileReader reader{files};
};

TEST_F(ProfileFileReaderTest, ReadsValuesFromARealFile) {
  const std::string file = Write("updchk.ndf", "[setup]\r\nsize=40\r\nurl = http://h/s.msi \r\n");
  EXPECT_EQ(Read(file, "SETUP", "url"), "http://h/s.msi");
  EXPECT_EQ(Read(file, "setup", "size"), "40");
  EXPECT_EQ(Read(file, "setup", "crc"), "");
}

TEST_F(ProfileFileReaderTest, ValuesAreCutTo254Characters) {
  const std::string value(300, 'v');
  const std::string file = Write("long.ndf", "[s]\nk=" + value + "\n");
  EXPECT_EQ(Read(file, "s", "k"), value.substr(0, 254));
  EXPECT_EQ(Read(file, "s", "k", 10), value.substr(0, 9));
}

TEST_F(ProfileFileReaderTest, TheDefaultWhenNothingIsFound) {
  char buffer[16];
  std::memset(buffer, 'X', sizeof buffer);
  const std::string missing = dir.Path() + "missing.ndf";
  EXPECT_EQ(reader.GetPrivateProfileString("s", "k", "fallback", buffer, sizeof buffer, missing), 8u);
  EXPECT_STREQ(buffer, "fallback");
  // a folder is no profile file
  EXPECT_EQ(reader.GetPrivateProfileString("s", "k", "", buffer, sizeof buffer, dir.Path()), 0u);
  EXPECT_STREQ(buffer, "");
  // a file larger than any profile file is not read
  std::string huge = "[s]\nk=v\n";
  huge.resize(kMaxProfileBytes + 10, '\n');
  const std::string big = Write("big.ndf", huge);
  EXPECT_EQ(Read(big, "s", "k"), "");
  // no room at all
  EXPECT_EQ(reader.GetPrivateProfileString("s", "k", "fallback", buffer, 0, missing), 0u);
}
}  // namespace
