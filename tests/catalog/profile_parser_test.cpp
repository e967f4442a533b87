// The profile-file reader: its rules over bytes, and the reader over a real
// file as the catalog calls it.
#include "catalog/profile_parser.hpp"

#include <gtest/gtest.h>

#include "fakes/fake_platform.hpp"

namespace {
using namespace std::string_literals;

std::string Padded(std::size_t size) {
  std::string bytes = "[s]\nk=v\n";
  bytes.resize(size, ' ');
  return bytes;
}

struct Row {
  std::string bytes;
  const char* key;       // looked up in section "s"
  const char* expected;  // nullptr: nothing found
};

TEST(ProfileDocument, KnownAnswers) {
  const Row rows[] = {
      {"[S]\r\nK=a\r\n[t]\r\nk=b\r\n", "k", "a"},
      {"[s]\nk=1\n", "j", nullptr},
      {"[t]\nk=1\n", "k", nullptr},
      {"  [ s ]  \n  k \t=\t a b  \r\n", "k", "a b"},
      {"[s]\nk=\"quoted value\"\n", "k", "quoted value"},
      {"[s]\nk='single'\n", "k", "single"},
      {"[s]\nk=\"mixed'\n", "k", "\"mixed'"},
      {"[s]\nk=\"\n", "k", "\""},
      {"[s]\nk= \"\"x\"\" \n", "k", "\"x\""},
      {"[s]\nk=first\nK=second\n", "k", "first"},
      {"[s]\nk=1\n[S]\nj=2\n", "j", nullptr},
      {"[s]\nk\nk=1\n", "k", nullptr},
      {"[s]\rj=1\rk=2", "k", "2"},
      {"[s]\n;k=a;b=c\n", ";k", "a;b=c"},
      {"k=1\n[s]\n", "k", nullptr},
      {"[s\nk=1\n", "k", nullptr},
      {"[s] trailing\nk=2\n", "k", "2"},
      {"[s]\nk=v\n\0"s, "k", nullptr},
      {"[\0s\0]\0\n\0k\0=\0v\0"s, "k", nullptr},
      {"\xEF\xBB\xBF[s]\nk=Caf\xC3\xA9\n", "k", "Caf\xE9"},
      {"\xFF\xFE[\0s\0]\0\n\0k\0=\0\xE9\0\x2D\x4E"s, "k", "\xE9?"},
      {"\xFE\xFF\0[\0s\0]\0\n\0k\0=\x20\xAC"s, "k", "\x80"},
      {"[s]\nk=Caf\xE9\n", "k", "Caf\xE9"},
      {Padded(kMaxProfileBytes), "k", "v"},
      {Padded(kMaxProfileBytes + 1), "k", nullptr},
  };
  for (const Row& r : rows)
    EXPECT_EQ(ProfileDocument::Parse(r.bytes).Value("s", r.key).value_or("<none>"), r.expected ? r.expected : "<none>")
        << r.bytes.substr(0, 40);
  EXPECT_EQ(ProfileDocument::Parse("[\xC9]\nk=1\n").Value("\xE9", "K"), "1") << "letters of the code page fold";
}

TEST(ProfileFileReader, ReadsARealFileIntoTheCallersBuffer) {
  TempDir dir;
  FakePlatform fake;
  char buffer[255];
  const auto read = [&](const std::string& file) {
    const auto n = fake.profiles.GetPrivateProfileString("s", "k", "none", buffer, sizeof buffer, dir.Path() + file);
    EXPECT_EQ(buffer[n], '\0');
    return std::string(buffer, n);
  };
  WriteFileBytes(dir.File("long.ndf"), "[s]\r\nk=" + std::string(300, 'v') + "\r\n");
  WriteFileBytes(dir.File("huge.ndf"), Padded(kMaxProfileBytes + 1));
  EXPECT_EQ(read("long.ndf"), std::string(254, 'v'));
  EXPECT_EQ(read("huge.ndf"), "none");
  EXPECT_EQ(read("missing.ndf"), "none");
}
}  // namespace
