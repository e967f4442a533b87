// The path helpers of the installed-state discovery, on real files in a
// temporary folder.
#include "install_state/path_helpers.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "fakes/fake_platform.hpp"

namespace {

// ---- ReplaceChars ----

struct ReplaceRow {
  const char* what;
  std::string text;
  std::string find;
  std::string replacement;
  std::string expected;
};

class ReplaceCharsTable : public ::testing::TestWithParam<ReplaceRow> {};

TEST_P(ReplaceCharsTable, OverwritesEachMatchingCharacter) {
  const auto& r = GetParam();
  EXPECT_EQ(ReplaceChars(r.text, r.find, r.replacement), r.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ReplaceCharsTable,
    ::testing::Values(ReplaceRow{"slashes", "a/b/c", "/", "\\", "a\\b\\c"},
                      ReplaceRow{"two-character find", "a/b/c", "/b", "\\", "a/b/c"},
                      ReplaceRow{"empty find", "a/b/c", "", "\\", "a/b/c"},
                      ReplaceRow{"empty replacement", "a/b/c", "/", "", "a/b/c"},
                      ReplaceRow{"first character of the replacement", "a/b", "/", "xyz", "axb"},
                      ReplaceRow{"case matters", "aAa", "a", "b", "bAb"},
                      ReplaceRow{"nothing to find", "abc", "/", "\\", "abc"},
                      ReplaceRow{"empty text", "", "/", "\\", ""},
                      ReplaceRow{"a character of the code page", "caf\xC3\xA9", "\xC3\xA9", "e", "cafe"},
                      ReplaceRow{"into a character of the code page", "1/2", "/", "\xE2\x82\xAC",
                                 "1\xE2\x82\xAC"
                                 "2"},
                      ReplaceRow{"find of one multi-byte character only", "\xC3\xA9\xC3\xA9", "\xC3\xA9", "-", "--"}),
    [](const ::testing::TestParamInfo<ReplaceRow>& info) {
      std::string name;
      for (char c : std::string(info.param.what)) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      return name;
    });

TEST(ReplaceChars, WorksOnTextsLongerThan32767Characters) {
  // A 16-bit position counter would overflow here; our build goes on.
  std::string text;
  for (int i = 0; i < 40000; ++i) text += (i % 3 == 0) ? '/' : 'x';
  std::string expected = text;
  for (char& c : expected)
    if (c == '/') c = '\\';
  EXPECT_EQ(ReplaceChars(text, "/", "\\"), expected);
  EXPECT_EQ(ReplaceChars(std::string(32768, '/'), "/", "\\"), std::string(32768, '\\'));
}

// ---- NormalizePath ----

struct NormalizeRow {
  std::string path;
  bool trailingSlash;
  std::string expected;
};

class NormalizePathTable : public ::testing::TestWithParam<NormalizeRow> {};

TEST_P(NormalizePathTable, TrimsTurnsSlashesAndSetsTheFinalBackslash) {
  EXPECT_EQ(NormalizePath(GetParam().path, GetParam().trailingSlash), GetParam().expected)
      << "[" << GetParam().path << "] " << GetParam().trailingSlash;
}

INSTANTIATE_TEST_SUITE_P(Paths, NormalizePathTable,
                         ::testing::Values(NormalizeRow{" a/b/ ", false, "a\\b"}, NormalizeRow{"C:/x", true, "C:\\x\\"},
                                           NormalizeRow{"", true, ""}, NormalizeRow{"", false, ""},
                                           NormalizeRow{"   ", true, ""}, NormalizeRow{"C:\\x\\", true, "C:\\x\\"},
                                           NormalizeRow{"C:\\x\\\\", false, "C:\\x\\"} /* only one is removed */,
                                           NormalizeRow{"C:\\x", false, "C:\\x"}, NormalizeRow{"/", false, ""},
                                           NormalizeRow{"/", true, "\\"}, NormalizeRow{"\ta/b\t", true, "\ta\\b\t\\"}));

// ---- FileExists ----

class FileExistsTest : public ::testing::Test {
 protected:
  std::int32_t error_ = 12345;
  bool Exists(const std::string& path) { return FileExists(files_, path, &error_); }
  TempDir dir_;
  PosixFileSystem files_;
};

TEST_F(FileExistsTest, AFileWithContent) {
  WriteFileBytes(dir_.File("setup.exe"), "MZ");
  EXPECT_TRUE(Exists(dir_.Path() + "setup.exe"));
  EXPECT_EQ(error_, 0);
}

TEST_F(FileExistsTest, AnEmptyFile) {
  WriteFileBytes(dir_.File("empty"), "");
  EXPECT_TRUE(Exists(dir_.Path() + "empty"));
  EXPECT_EQ(error_, -1);
}

TEST_F(FileExistsTest, AFolderWithOrWithoutItsBackslash) {
  EXPECT_TRUE(Exists(dir_.Path()));
  EXPECT_EQ(error_, 0);
  EXPECT_TRUE(Exists(NormalizePath(dir_.Path(), false)));
  EXPECT_EQ(error_, 0);
  EXPECT_TRUE(Exists("Z:\\"));
  EXPECT_EQ(error_, 0);
}

TEST_F(FileExistsTest, AnEmptyPathOrOneStartingWithAControlCharacter) {
  EXPECT_FALSE(Exists(""));
  EXPECT_EQ(error_, 0);
  error_ = 12345;
  EXPECT_FALSE(Exists("\x01" + dir_.Path() + "missing"));
  EXPECT_EQ(error_, 0);
}

TEST_F(FileExistsTest, AMissingFileAndAMissingFolder) {
  EXPECT_FALSE(Exists(dir_.Path() + "missing.exe"));
  EXPECT_EQ(error_, 53);
  EXPECT_FALSE(Exists(dir_.Path() + "missing\\setup.exe"));
  EXPECT_EQ(error_, 76);
  EXPECT_FALSE(Exists("C:\\Program Files\\Larkspire"));
  EXPECT_EQ(error_, 76) << "there is no drive C:";
}

TEST_F(FileExistsTest, TheErrorNumberMayBeLeftOut) {
  EXPECT_TRUE(FileExists(files_, dir_.Path()));
  EXPECT_FALSE(FileExists(files_, dir_.Path() + "missing"));
}

// ---- GetDefaultPath ----

TEST(GetDefaultPath, TheRootOfTheCurrentDrive) {
  TestFileSystem files;
  EXPECT_EQ(GetDefaultPath(files), "Z:\\") << "the current folder is on drive Z:";
  files.curDir = "Z:\\home\\ann\\Downloads";
  EXPECT_EQ(GetDefaultPath(files), "Z:\\");
}

TEST(GetDefaultPath, CWhenTheCurrentDriveIsUnusable) {
  TestFileSystem files;
  files.curDir = "D:\\setup";  // a drive letter, but no such drive here
  EXPECT_EQ(GetDefaultPath(files), "c:\\");
  files.curDir = "\\\\server\\share";  // no drive letter at all
  EXPECT_EQ(GetDefaultPath(files), "c:\\");
  files.curDir = "Z";
  EXPECT_EQ(GetDefaultPath(files), "c:\\");
  files.curDir.clear();
  files.failCurDir = true;
  EXPECT_EQ(GetDefaultPath(files), "c:\\") << "a run-time error";
}

}  // namespace
