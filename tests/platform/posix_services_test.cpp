// The Linux backends of the small services: Windows-shaped paths on drive
// Z:, the files the program opens and creates, environment expansion and
// GUIDs.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <set>
#include <string>

#include "fakes/fake_platform.hpp"
#include "fakes/scoped_env.hpp"
#include "install_state/product_id_rules.hpp"
#include "support/runtime_error.hpp"

namespace {

// The run-time error number a call raises, or 0.
template <typename Call>
int ErrorOf(Call call) {
  try {
    call();
  } catch (const RuntimeError& e) {
    return e.Number();
  }
  return 0;
}

// ---- paths ----

struct PathRow {
  const char* program;
  const char* native;
};

class ProgramPathToNative : public ::testing::TestWithParam<PathRow> {};

TEST_P(ProgramPathToNative, MapsDriveZToTheRoot) {
  EXPECT_EQ(PosixFileSystem::ToNative(GetParam().program), GetParam().native);
}

INSTANTIATE_TEST_SUITE_P(Paths, ProgramPathToNative,
                         ::testing::Values(PathRow{"Z:\\home\\ann\\file.exe", "/home/ann/file.exe"},
                                           PathRow{"z:\\tmp\\", "/tmp/"}, PathRow{"Z:\\", "/"}, PathRow{"Z:", "/"},
                                           PathRow{"Z:tmp", "/tmp"}, PathRow{"\\tmp\\a", "/tmp/a"},
                                           PathRow{"Z:/tmp/a", "/tmp/a"}, PathRow{"relative\\a", "relative/a"},
                                           PathRow{"C:\\Windows", ""}, PathRow{"c:\\", ""}, PathRow{"", ""}));

TEST(NativePathToProgram, PutsAbsolutePathsOnDriveZ) {
  EXPECT_EQ(PosixFileSystem::FromNative("/home/ann/file.exe"), "Z:\\home\\ann\\file.exe");
  EXPECT_EQ(PosixFileSystem::FromNative("/"), "Z:\\");
  EXPECT_EQ(PosixFileSystem::FromNative("relative/a"), "relative\\a");
}

// ---- files ----

class PosixFiles : public ::testing::Test {
 protected:
  TempDir dir_;
  PosixFileSystem files_;
};

TEST_F(PosixFiles, TheTemporaryFolderEndsInABackslash) {
  {
    ScopedEnv tmp("TMPDIR", "/var/tmp/larkspire");
    EXPECT_EQ(files_.GetTempPath(), "Z:\\var\\tmp\\larkspire\\");
  }
  {
    ScopedEnv tmp("TMPDIR", nullptr);
    EXPECT_EQ(files_.GetTempPath(), "Z:\\tmp\\");
  }
}

TEST_F(PosixFiles, TemporaryFilesAreNewEmptyAndNamedByTheirPrefix) {
  std::set<std::string> made;
  for (int i = 0; i < 50; ++i) {
    const std::string name = files_.GetTempFileName(dir_.Path(), "qvm");
    ASSERT_FALSE(name.empty());
    EXPECT_EQ(name.rfind(dir_.Path() + "qvm", 0), 0u) << name;
    EXPECT_TRUE(made.insert(name).second) << "a name given twice: " << name;
    struct stat st {};
    ASSERT_EQ(stat(PosixFileSystem::ToNative(name).c_str(), &st), 0) << name;
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_size, 0);
  }
  const std::string longPrefix = files_.GetTempFileName(dir_.Path(), "qvmlonger");
  EXPECT_EQ(longPrefix.find("longer"), std::string::npos) << "only three characters of the prefix are used";
}

TEST_F(PosixFiles, NoTemporaryFileWhereThereIsNoFolder) {
  EXPECT_EQ(files_.GetTempFileName(dir_.Path() + "missing\\", "qvm"), "");
  EXPECT_EQ(files_.GetTempFileName("C:\\Windows\\Temp\\", "qvm"), "");
}

TEST_F(PosixFiles, OpeningForReadingRaisesTheFileErrors) {
  WriteFileBytes(dir_.File("five"), "12345");
  EXPECT_EQ(files_.OpenRead(dir_.Path() + "five")->Length(), 5);
  EXPECT_EQ(ErrorOf([&] { files_.OpenRead(dir_.Path() + "absent"); }), ErrNo::FileNotFound);
  EXPECT_EQ(ErrorOf([&] { files_.OpenRead(dir_.Path() + "absent\\file"); }), ErrNo::PathNotFound);
  EXPECT_EQ(ErrorOf([&] { files_.OpenRead(dir_.Path()); }), ErrNo::PathFileAccess) << "a folder";
  EXPECT_EQ(ErrorOf([&] { files_.OpenRead("C:\\autoexec.bat"); }), ErrNo::PathNotFound) << "no drive C:";
}

TEST_F(PosixFiles, AttributesOfFoldersAndReadOnlyFiles) {
  EXPECT_EQ(files_.GetAttr(dir_.Path()) & Attr::Directory, Attr::Directory);
  WriteFileBytes(dir_.File("plain"), "x");
  EXPECT_EQ(files_.GetAttr(dir_.Path() + "plain") & (Attr::Directory | Attr::ReadOnly), 0);
  ASSERT_EQ(chmod(dir_.File("plain").c_str(), 0444), 0);
  EXPECT_EQ(files_.GetAttr(dir_.Path() + "plain") & Attr::ReadOnly, Attr::ReadOnly);
  EXPECT_EQ(ErrorOf([&] { files_.GetAttr(dir_.Path() + "absent"); }), ErrNo::FileNotFound);
  EXPECT_EQ(ErrorOf([&] { files_.GetAttr(dir_.Path() + "absent\\deeper"); }), ErrNo::PathNotFound);
}

TEST_F(PosixFiles, DeletingFiles) {
  WriteFileBytes(dir_.File("doomed"), "x");
  files_.Kill(dir_.Path() + "doomed");
  EXPECT_EQ(ErrorOf([&] { files_.OpenRead(dir_.Path() + "doomed"); }), ErrNo::FileNotFound);
  EXPECT_EQ(ErrorOf([&] { files_.Kill(dir_.Path() + "doomed"); }), ErrNo::FileNotFound);
  EXPECT_NE(ErrorOf([&] { files_.Kill(dir_.Path()); }), 0) << "a folder is no file";
}

TEST_F(PosixFiles, TheCurrentFolderIsOnDriveZ) {
  char buf[4096];
  ASSERT_NE(getcwd(buf, sizeof buf), nullptr);
  EXPECT_EQ(files_.CurDir(), PosixFileSystem::FromNative(buf));
  EXPECT_EQ(files_.CurDir().substr(0, 3), "Z:\\");
}

// ---- environment ----

// The expansion through the Win32-shaped call: size first, then the text.
std::string Expand(IEnvironment& env, const std::string& text) {
  const std::uint32_t size = env.ExpandEnvironmentStrings(text.c_str(), nullptr, 0);
  EXPECT_GT(size, 0u);
  std::string out(size, '\0');
  EXPECT_EQ(env.ExpandEnvironmentStrings(text.c_str(), out.data(), size), size);
  EXPECT_EQ(out.back(), '\0');
  out.pop_back();
  return out;
}

TEST(PosixEnvironmentExpansion, ReplacesReferencesToVariables) {
  ScopedEnv a("LARKSPIRE_TEST_A", "/home/ann");
  ScopedEnv b("LARKSPIRE_TEST_B", "bee");
  ScopedEnv empty("LARKSPIRE_TEST_EMPTY", "");
  PosixEnvironment env;
  EXPECT_EQ(Expand(env, "%LARKSPIRE_TEST_A%\\x"), "/home/ann\\x");
  EXPECT_EQ(Expand(env, "%larkspire_test_a%"), "/home/ann") << "names match without case";
  EXPECT_EQ(Expand(env, "%LARKSPIRE_TEST_A%%LARKSPIRE_TEST_B%"), "/home/annbee");
  EXPECT_EQ(Expand(env, "[%LARKSPIRE_TEST_EMPTY%]"), "[]");
  EXPECT_EQ(Expand(env, "%LARKSPIRE_TEST_NONE%"), "%LARKSPIRE_TEST_NONE%") << "unknown names stay";
  // "% sure %" is taken as an unknown name, and the search goes on after it, as the system does.
  EXPECT_EQ(Expand(env, "100% sure %LARKSPIRE_TEST_B%"), "100% sure %LARKSPIRE_TEST_B%");
  EXPECT_EQ(Expand(env, "%%"), "%%");
  EXPECT_EQ(Expand(env, ""), "");
}

TEST(PosixEnvironmentExpansion, TextsAreUtf8AsInTheRegistryFile) {
  ScopedEnv home("LARKSPIRE_TEST_HOME", "/home/\xC5\x82ukasz");                      // "łukasz"
  ScopedEnv cyrillic("LARKSPIRE_\xD0\x9F\xD0\xA3\xD0\xA2\xD0\xAC", "\xE6\xBC\xA2");  // ПУТЬ = 漢
  PosixEnvironment env;
  EXPECT_EQ(Expand(env, "%LARKSPIRE_TEST_HOME%/\xD0\x9F"), "/home/\xC5\x82ukasz/\xD0\x9F");
  EXPECT_EQ(Expand(env, "%larkspire_\xD0\xBF\xD1\x83\xD1\x82\xD1\x8C%"), "\xE6\xBC\xA2")
      << "names match without case, letter by letter";
}

TEST(PosixEnvironmentExpansion, BufferRules) {
  ScopedEnv a("LARKSPIRE_TEST_A", "12345");
  PosixEnvironment env;
  char small[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(env.ExpandEnvironmentStrings("%LARKSPIRE_TEST_A%", small, sizeof small), 6u) << "the size needed";
  EXPECT_EQ(std::string(small, 4), "xxxx") << "nothing written into a buffer too small";
  EXPECT_EQ(env.ExpandEnvironmentStrings(nullptr, nullptr, 0), 0u);
}

// ---- GUIDs ----

TEST(PosixGuids, AreRandomVersion4Guids) {
  PosixGuidSource source;
  std::set<std::string> seen;
  for (int i = 0; i < 200; ++i) {
    Guid g;
    ASSERT_TRUE(source.CreateGuid(&g));
    EXPECT_EQ(g.Data3 >> 12, 4) << "version 4";
    EXPECT_EQ(g.Data4[0] & 0xC0, 0x80) << "the RFC 4122 variant";
    const std::string id = FormatProductID(g);
    EXPECT_TRUE(IsValidProductID(id)) << id;
    EXPECT_TRUE(seen.insert(id).second) << "a GUID came twice: " << id;
  }
}

// ---- registered messages ----

TEST(RegisteredMessages, OneIdentifierPerNameWhateverTheCase) {
  const std::uint32_t id = StableMessageId("lkSMsgGeneral");
  EXPECT_GE(id, 0xC000u);
  EXPECT_LE(id, 0xFFFFu);
  EXPECT_EQ(StableMessageId("LKSMSGGENERAL"), id);
  EXPECT_NE(StableMessageId("lkSMsgOther"), id);
}

}  // namespace
