// The small platform services as the program uses them, held alike by the
// Linux backends and (in the Windows build) the Win32 ones: files and their
// error numbers, temporary names, %NAME% expansion, GUIDs and message ids.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <functional>
#include <random>
#include <set>

#include "fakes/registry_backends.hpp"
#include "install_state/product_id_rules.hpp"
#ifdef _WIN32
#include "backends/win32/file_system.hpp"
#include "backends/win32/guid_source.hpp"
#include "backends/win32/window_messages.hpp"
using Files = Win32FileSystem;
constexpr bool kWindows = true;
using Guids = Win32GuidSource;
std::uint32_t MessageId(const std::string& name) { return Win32WindowMessages().RegisterWindowMessage(name); }
#else
#include "backends/common/message_id.hpp"
#include "backends/linux/guid_source.hpp"
#include "backends/posix/file_system.hpp"
using Files = PosixFileSystem;
constexpr bool kWindows = false;
using Guids = PosixGuidSource;
std::uint32_t MessageId(const std::string& name) { return StableMessageId(name); }
#endif

class PlatformServices : public ::testing::Test {
 protected:
  PlatformServices() { std::filesystem::create_directory(files_.NativePath(dir_)); }
  ~PlatformServices() override { std::filesystem::remove_all(files_.NativePath(dir_)); }
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
  std::set<std::string> made;
  for (int i = 0; i < 5; ++i) {
    // The fourth letter is one the random part of a name never holds.
    const std::string name = files_.GetTempFileName(dir_, "qvm-longer");
    EXPECT_TRUE(name.rfind(dir_ + "qvm", 0) == 0 && name.find("qvm-") == std::string::npos && name.ends_with(".tmp") &&
                Read(name).empty() && made.insert(name).second)
        << "empty, and never given twice: " << name;
  }
  EXPECT_EQ(files_.GetTempFileName(dir_ + "missing\\", "qvm"), "");
  EXPECT_TRUE((files_.GetAttr(files_.GetTempPath()) & Attr::Directory) &&
              files_.NativePath(files_.CurDir()) == std::filesystem::current_path().string());
}

TEST_F(PlatformServices, FilesAreCopiedWithTheirReadOnlyStateAndFailWithTheProgramsNumbers) {
  const std::string missing = dir_ + "missing", noFolder = dir_ + "no folder\\file", folder = dir_ + "sub",
                    file = dir_ + "file", other = dir_ + "other";
  std::filesystem::create_directory(files_.NativePath(folder));
  files_.WriteFile(file, std::vector<std::uint8_t>(70000, 'x'));
  files_.WriteFile(other, Bytes("other"));
  files_.WriteFile(file, {'a', 'b'});
  files_.FileCopy(file, other);
  EXPECT_EQ(Read(other), "ab" + std::string(69998, 'x')) << "written from the start; copied over the destination";
  files_.SetAttr(file, Attr::ReadOnly);
  files_.FileCopy(file, dir_ + "copy");
  EXPECT_EQ(files_.GetAttr(dir_ + "copy") & (Attr::ReadOnly | Attr::Directory), Attr::ReadOnly);
  // Each failing call beside the program's error number it raises.
  // clang-format off
  const std::pair<std::function<void()>, int> failures[] = {
      {[&] { files_.OpenRead(missing); }, ErrNo::FileNotFound}, {[&] { files_.OpenRead(noFolder); }, ErrNo::PathNotFound},
      {[&] { files_.OpenRead(folder); }, ErrNo::PathFileAccess}, {[&] { files_.GetAttr(missing); }, ErrNo::FileNotFound},
      {[&] { files_.GetAttr(noFolder); }, ErrNo::PathNotFound}, {[&] { files_.Kill(missing); }, ErrNo::FileNotFound},
      {[&] { files_.Kill(folder); }, ErrNo::FileNotFound}, {[&] { files_.FileCopy(missing, other); }, ErrNo::FileNotFound},
      {[&] { files_.FileCopy(other, file); }, ErrNo::PathFileAccess}, {[&] { files_.Kill(file); }, ErrNo::PathFileAccess},
      {[&] { files_.FileCopyNew(file, other); }, ErrNo::FileAlreadyExists},
      {[&] { files_.RenameNew(dir_ + "copy", other); }, ErrNo::FileAlreadyExists}};
  // clang-format on
  for (std::size_t i = 0; i < std::size(failures); ++i)
    EXPECT_EQ(ErrorOf(failures[i].first), failures[i].second) << "the failing call " << i;
  EXPECT_EQ(Read(other), "ab" + std::string(69998, 'x')) << "an existing file is never replaced";
  files_.FileCopyNew(other, dir_ + "new"), files_.RenameNew(dir_ + "new", dir_ + "named");
  EXPECT_EQ(Read(dir_ + "named"), Read(other));
  EXPECT_EQ(ErrorOf([&] { files_.OpenRead(dir_ + "new"); }), ErrNo::FileNotFound);
  for (const std::string& f : {file, dir_ + "copy"}) files_.SetAttr(f, Attr::Normal), files_.Kill(f);
  EXPECT_EQ(ErrorOf([&] { files_.OpenRead(file); }), ErrNo::FileNotFound);
}

// Only the plain files of the prefix and ".tmp" written before the time go,
// read-only or not.
TEST_F(PlatformServices, LeftoversOfEndedRunsAreRemovedAndNothingElse) {
  const std::time_t now = std::time(nullptr);
  for (const char* name : {"lkdold.tmp", "lkdnew.tmp", "lkdold.msi", "old.tmp"}) files_.WriteFile(dir_ + name, {});
  std::filesystem::create_directory(files_.NativePath(dir_ + "lkddir.tmp"));
  files_.SetAttr(dir_ + "lkdold.tmp", Attr::ReadOnly | Attr::Hidden);
  // (Wine sets no folder's times.)
  for (const char* name : {"lkdold.tmp", "lkdold.msi", "old.tmp", kWindows ? "old.tmp" : "lkddir.tmp"})
    std::filesystem::last_write_time(files_.NativePath(dir_ + name),
                                     std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
  EXPECT_EQ(files_.RemoveLeftovers(dir_, "lkd", now - 60), std::vector<std::string>{dir_ + "lkdold.tmp"});
  EXPECT_EQ(files_.RemoveLeftovers(dir_ + "missing\\", "lkd", now), std::vector<std::string>{});
  for (const char* name : {"lkdnew.tmp", "lkdold.msi", "old.tmp", "lkddir.tmp"})
    EXPECT_TRUE(std::filesystem::exists(files_.NativePath(dir_ + name))) << name;
}

TEST(PlatformEnvironment, ExpandsReferencesToVariables) {
  SetVar("LK_A", "alpha");
  SetVar("LK_EMPTY", "");
  SystemEnvironment env;
  const auto expand = [&](const std::string& text) {  // asks for the size first, as callers do
    std::string out(env.ExpandEnvironmentStrings(text.c_str(), nullptr, 0), '#');
    EXPECT_EQ(env.ExpandEnvironmentStrings(text.c_str(), out.data(), static_cast<std::uint32_t>(out.size())),
              out.size());
    return out;
  };
  EXPECT_EQ(expand("%LK_A%\\%lk_a%[%LK_EMPTY%]"), std::string("alpha\\alpha[]") + '\0');
  for (const std::string same : {"%LK_NONE%LK_A%", "100% sure %LK_A%", "%%LK_A%%", "%LK_A", ""})
    EXPECT_EQ(expand(same), same + '\0') << "left as it is";
  char small[5] = "xxxx";
  EXPECT_EQ(env.ExpandEnvironmentStrings("%LK_A%", small, 4), 6u) << "the size needed";
#ifndef _WIN32  // the system writes what fits; callers ask for the size first
  EXPECT_STREQ(small, "xxxx") << "nothing written into a buffer too small";
#endif
}

TEST(PlatformIdentifiers, GuidsAreRandomVersion4AndMessageIdsNamedWithoutCase) {
  Guids source;
  std::set<std::string> seen;
  for (Guid g; seen.size() < 100 && source.CreateGuid(&g) && IsValidProductID(FormatProductID(g));)
    EXPECT_TRUE(g.Data3 >> 12 == 4 && (g.Data4[0] & 0xC0) == 0x80 && seen.insert(FormatProductID(g)).second)
        << "version 4, the RFC 4122 variant, and never twice: " << FormatProductID(g);
  EXPECT_EQ(seen.size(), 100u);
  const std::uint32_t id = MessageId("lkSMsgGeneral");
  EXPECT_TRUE(id >= 0xC000u && id <= 0xFFFFu && MessageId("LKSMSGGENERAL") == id && MessageId("lkSMsgOther") != id);
}
