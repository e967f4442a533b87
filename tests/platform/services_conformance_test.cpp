// The small platform services as the program uses them, held alike by the
// Linux backends and (in the Windows build) the Win32 ones: files and their
// error numbers, temporary names, %NAME% expansion, GUIDs and message ids.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <set>

#include "fakes/registry_test_helpers.hpp"
#include "install_state/product_id_rules.hpp"
#ifdef _WIN32
#include "platform/win32/win32_backends.hpp"
#include "platform/win32/win32_prelude.hpp"
using Files = Win32FileSystem;
using Environment = Win32Environment;
using Guids = Win32GuidSource;
void SetVar(const char* name, const char* value) { SetEnvironmentVariableA(name, value); }
std::uint32_t MessageId(const std::string& name) { return Win32WindowMessages().RegisterWindowMessage(name); }
#else
#include "platform/posix/posix_services.hpp"
using Files = PosixFileSystem;
using Environment = PosixEnvironment;
using Guids = PosixGuidSource;
void SetVar(const char* name, const char* value) { setenv(name, value, 1); }
std::uint32_t MessageId(const std::string& name) { return StableMessageId(name); }
#endif

namespace {

class PlatformServices : public ::testing::Test {
 protected:
  PlatformServices() { std::filesystem::create_directory(files_.NativePath(dir_)); }
  ~PlatformServices() override { std::filesystem::remove_all(files_.NativePath(dir_)); }
  std::string Make(const std::string& name, const std::string& bytes) {
    files_.WriteFile(dir_ + name, Bytes(bytes));
    return dir_ + name;
  }
  std::string Read(const std::string& path) {
    const auto reader = files_.OpenRead(path);
    std::string bytes(static_cast<std::size_t>(reader->Length()), '\0');
    EXPECT_EQ(reader->Read(reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size()), bytes.size());
    return bytes;
  }

  Files files_;
  std::string dir_ = files_.GetTempPath() + "larkspire-" + std::to_string(std::random_device()()) + "\\";
};

TEST_F(PlatformServices, TemporaryFilesAreNewEmptyAndNamedByThreeLettersOfTheirPrefix) {
  ASSERT_EQ(files_.GetTempPath().back(), '\\');
  EXPECT_EQ(files_.GetAttr(files_.GetTempPath()) & Attr::Directory, Attr::Directory);
  std::set<std::string> made;
  for (int i = 0; i < 5; ++i) {
    const std::string name = files_.GetTempFileName(dir_, "qvmlonger");
    EXPECT_EQ(name.rfind(dir_ + "qvm", 0), 0u) << name;
    EXPECT_EQ(name.find("qvml"), std::string::npos) << name;
    EXPECT_EQ(name.substr(name.size() - 4), ".tmp");
    EXPECT_EQ(files_.OpenRead(name)->Length(), 0) << name;
    EXPECT_TRUE(made.insert(name).second) << "a name given twice: " << name;
  }
  EXPECT_EQ(files_.GetTempFileName(dir_ + "missing\\", "qvm"), "");
}

TEST_F(PlatformServices, FilesAreWrittenReadAndCopied) {
  std::string bytes(70000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
  const std::string path = Make("data.bin", bytes);
  EXPECT_EQ(Read(path), bytes);
  files_.WriteFile(path, {'x', 'y'});
  EXPECT_EQ(Read(path), "xy" + bytes.substr(2)) << "writing starts at the beginning and leaves what lies beyond";
  files_.FileCopy(path, dir_ + "copy");
  EXPECT_EQ(Read(dir_ + "copy"), Read(path));
  files_.FileCopy(Make("other", "other"), dir_ + "copy");
  EXPECT_EQ(Read(dir_ + "copy"), "other") << "the destination is replaced";
  files_.SetAttr(path, Attr::ReadOnly);
  EXPECT_EQ(files_.GetAttr(path) & (Attr::ReadOnly | Attr::Directory), Attr::ReadOnly);
  files_.FileCopy(path, dir_ + "read-only copy");
  EXPECT_EQ(files_.GetAttr(dir_ + "read-only copy") & Attr::ReadOnly, Attr::ReadOnly);
  files_.SetAttr(dir_ + "read-only copy", Attr::Normal);
  EXPECT_EQ(files_.GetAttr(dir_ + "read-only copy") & Attr::ReadOnly, 0);
  EXPECT_EQ(files_.NativePath(files_.CurDir()), std::filesystem::current_path().string());
}

TEST_F(PlatformServices, FileErrorsRaiseTheProgramsNumbers) {
  const std::string missing = dir_ + "missing", noFolder = dir_ + "no folder\\file", folder = dir_ + "sub";
  std::filesystem::create_directory(files_.NativePath(folder));
  const std::string readOnly = Make("kept", "x"), other = Make("new", "y");
  files_.SetAttr(readOnly, Attr::ReadOnly);
  const std::vector<std::pair<std::function<void()>, int>> rows = {
      {[&] { files_.OpenRead(missing); }, ErrNo::FileNotFound},
      {[&] { files_.OpenRead(noFolder); }, ErrNo::PathNotFound},
      {[&] { files_.OpenRead(folder); }, ErrNo::PathFileAccess},
      {[&] { files_.GetAttr(missing); }, ErrNo::FileNotFound},
      {[&] { files_.GetAttr(noFolder); }, ErrNo::PathNotFound},
      {[&] { files_.Kill(missing); }, ErrNo::FileNotFound},
      {[&] { files_.Kill(folder); }, ErrNo::FileNotFound},
      {[&] { files_.FileCopy(missing, other); }, ErrNo::FileNotFound},
      {[&] { files_.FileCopy(other, readOnly); }, ErrNo::PathFileAccess},
      {[&] { files_.Kill(readOnly); }, ErrNo::PathFileAccess}};
  for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(ErrorOf(rows[i].first), rows[i].second) << "row " << i;
  files_.SetAttr(readOnly, Attr::Normal);
  files_.Kill(readOnly);
  EXPECT_EQ(ErrorOf([&] { files_.OpenRead(readOnly); }), ErrNo::FileNotFound);
}

TEST(PlatformEnvironment, ExpandsReferencesToVariables) {
  SetVar("LK_A", "alpha");
  SetVar("LK_B", "beta");
  SetVar("LK_EMPTY", "");
  Environment env;
  const std::pair<std::string, std::string> rows[] = {{"%LK_A%\\x", "alpha\\x"},
                                                      {"%lk_a%", "alpha"},
                                                      {"%LK_A%%LK_B%", "alphabeta"},
                                                      {"[%LK_EMPTY%]", "[]"},
                                                      {"%LK_NONE%", "%LK_NONE%"},
                                                      {"%LK_NONE%LK_A%", "%LK_NONE%LK_A%"},
                                                      {"100% sure %LK_A%", "100% sure %LK_A%"},
                                                      {"%%LK_A%%", "%%LK_A%%"},
                                                      {"%LK_A", "%LK_A"},
                                                      {"", ""}};
  for (const auto& [text, expanded] : rows) {
    const std::uint32_t size = env.ExpandEnvironmentStrings(text.c_str(), nullptr, 0);
    std::string out(size, '#');
    EXPECT_EQ(env.ExpandEnvironmentStrings(text.c_str(), out.data(), size), size) << text;
    EXPECT_EQ(out, expanded + '\0') << text;
  }
  char small[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(env.ExpandEnvironmentStrings("%LK_A%", small, sizeof small), 6u) << "the size needed";
  EXPECT_EQ(std::string(small, 4), "xxxx") << "nothing written into a buffer too small";
}

TEST(PlatformIdentifiers, GuidsAreRandomVersion4AndMessageIdsNamedWithoutCase) {
  Guids source;
  std::set<std::string> seen;
  for (int i = 0; i < 100; ++i) {
    Guid g;
    ASSERT_TRUE(source.CreateGuid(&g));
    EXPECT_EQ(g.Data3 >> 12, 4) << "version 4";
    EXPECT_EQ(g.Data4[0] & 0xC0, 0x80) << "the RFC 4122 variant";
    EXPECT_TRUE(IsValidProductID(FormatProductID(g)));
    EXPECT_TRUE(seen.insert(FormatProductID(g)).second) << "a GUID came twice";
  }
  const std::uint32_t id = MessageId("lkSMsgGeneral");
  EXPECT_GE(id, 0xC000u);
  EXPECT_LE(id, 0xFFFFu);
  EXPECT_EQ(MessageId("LKSMSGGENERAL"), id);
  EXPECT_NE(MessageId("lkSMsgOther"), id);
}

#ifndef _WIN32
TEST(ProgramPaths, PutDriveZOnTheRoot) {
  const std::pair<const char*, const char*> rows[] = {{"Z:\\home\\ann\\f.exe", "/home/ann/f.exe"},
                                                      {"z:\\tmp\\", "/tmp/"},
                                                      {"Z:", "/"},
                                                      {"Z:tmp", "/tmp"},
                                                      {"\\tmp\\a", "/tmp/a"},
                                                      {"Z:/tmp/a", "/tmp/a"},
                                                      {"relative\\a", "relative/a"},
                                                      {"C:\\Windows", ""},
                                                      {"", ""}};
  for (const auto& [program, native] : rows) EXPECT_EQ(PosixFileSystem::ToNative(program), native) << program;
  EXPECT_EQ(PosixFileSystem::FromNative("/home/ann/f.exe"), "Z:\\home\\ann\\f.exe");
  EXPECT_EQ(PosixFileSystem::FromNative("/"), "Z:\\");
}
#endif

}  // namespace
