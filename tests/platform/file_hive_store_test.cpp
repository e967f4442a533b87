// The per-user registry file as a store: where it lives, when it comes into
// being, that it stays private, that a file it cannot read is never
// overwritten, and that the changes of several processes all survive.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "fakes/registry_backends.hpp"
#include "fakes/registry_test_helpers.hpp"
#include "fakes/scoped_env.hpp"
#include "support/c_registry.hpp"

extern char** environ;

namespace {

bool PathExists(const std::string& native) {
  struct stat st {};
  return stat(native.c_str(), &st) == 0;
}

unsigned Mode(const std::string& native) {
  struct stat st {};
  EXPECT_EQ(stat(native.c_str(), &st), 0) << native;
  return st.st_mode & 07777;
}

// Names in a folder that start with prefix.
std::vector<std::string> FilesStartingWith(const std::string& dir, const std::string& prefix) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d))
      if (std::strncmp(e->d_name, prefix.c_str(), prefix.size()) == 0) names.emplace_back(e->d_name);
    closedir(d);
  }
  return names;
}

// The temporary files a save leaves while it runs.
std::vector<std::string> SaveTempFiles(const std::string& dir) { return FilesStartingWith(dir, ".registry.reg.tmp"); }

// ---- where the file lives ----

TEST(FileHiveStorePath, FollowsTheUsersConfigurationFolder) {
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", "/srv/conf");
    EXPECT_EQ(FileHiveStore::DefaultPath(), "/srv/conf/larkspire/registry.reg");
  }
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", nullptr);
    ScopedEnv home("HOME", "/home/ann");
    EXPECT_EQ(FileHiveStore::DefaultPath(), "/home/ann/.config/larkspire/registry.reg");
  }
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", "relative/conf");  // not absolute: ignored
    ScopedEnv home("HOME", "/home/ann");
    EXPECT_EQ(FileHiveStore::DefaultPath(), "/home/ann/.config/larkspire/registry.reg");
  }
}

// ---- the file coming into being ----

class FileHiveStoreTest : public ::testing::Test {
 protected:
  TempDir dir_;
  std::string folder_ = dir_.File("config/larkspire");
  std::string path_ = folder_ + "/registry.reg";
};

TEST_F(FileHiveStoreTest, AMissingFileIsAnEmptyRegistryAndReadingCreatesNoFile) {
  FileRegistryApi api(path_);
  RegHandle key = 0;
  EXPECT_EQ(api.OpenKeyEx(Reg::CurrentUser, "Software", Reg::KeyRead, &key), Reg::FileNotFound);
  char name[256];
  std::uint32_t len = sizeof name;
  EXPECT_EQ(api.EnumKeyEx(Reg::CurrentUser, 0, name, &len), Reg::NoMoreItems);
  std::uint32_t type = 0, size = 0;
  EXPECT_EQ(api.QueryValueEx(Reg::CurrentUser, "v", &type, nullptr, &size), Reg::FileNotFound);
  EXPECT_FALSE(PathExists(folder_)) << "neither the folder";
  EXPECT_FALSE(PathExists(path_)) << "nor the file";
}

TEST_F(FileHiveStoreTest, TheFirstKeyCreatesThePrivateFileAndItsFolder) {
  FileRegistryApi api(path_);
  api.CloseKey(MustCreate(api, Reg::CurrentUser, "Software\\Tessarine"));
  ASSERT_TRUE(PathExists(path_));
  EXPECT_EQ(Mode(path_), 0600u);
  EXPECT_EQ(Mode(folder_) & 077, 0u) << "the folder is the user's alone";
  if (PathExists(path_ + ".lock")) {
    EXPECT_EQ(Mode(path_ + ".lock") & 077, 0u) << "and so is the lock beside the file";
  }
  EXPECT_NE(ReadFileBytes(path_).find("[HKEY_CURRENT_USER\\Software\\Tessarine]"), std::string::npos);
}

TEST_F(FileHiveStoreTest, EverySaveLeavesTheFilePrivate) {
  FileRegistryApi api(path_);
  const RegHandle key = MustCreate(api, Reg::CurrentUser, "Software");
  ASSERT_EQ(chmod(path_.c_str(), 0644), 0);
  ASSERT_EQ(WriteStored(api, key, "v", Reg::Sz, BytesZ("x")), Reg::Success);
  EXPECT_EQ(Mode(path_), 0600u);
  api.CloseKey(key);
}

TEST_F(FileHiveStoreTest, ValuesAreKeptInTheFileForTheNextRun) {
  {
    FileRegistryApi first(path_);
    FakeEnvironment env;
    cRegistry reg(first, env);
    reg.RootKey("Software\\Tessarine");
    ASSERT_TRUE(reg.RegWrite("\\LarkspireBrowser\\Main", "App Version", std::string("3.02.0012")));
    ASSERT_TRUE(reg.RegWrite("\\LarkspireBrowser\\Main", "ProductID", ByteArray{0xd5, 0xc0, 0x01, 0}, 3));
  }
  const std::string text = ReadFileBytes(path_);
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Tessarine\\LarkspireBrowser\\Main]\n"
                      "\"App Version\"=\"3.02.0012\"\n"
                      "\"ProductID\"=hex:d5,c0,01\n"),
            std::string::npos)
      << text;
  FileRegistryApi second(path_);
  EXPECT_EQ(ReadStoredAt(second, Reg::CurrentUser, "Software\\Tessarine\\LarkspireBrowser\\Main", "App Version").data,
            BytesZ("3.02.0012"));
}

TEST_F(FileHiveStoreTest, AChangeOfTheFileIsSeenEvenWhenItKeepsItsSizeAndTime) {
  // A file replaced within one tick of the file system's clock can come back
  // with the old inode number, size and time; only its contents tell.
  FileRegistryApi api(path_);
  const RegHandle key = MustCreate(api, Reg::CurrentUser, "Software");
  ASSERT_EQ(WriteStored(api, key, "v", Reg::Sz, BytesZ("aaaa")), Reg::Success);
  ASSERT_EQ(ReadStored(api, key, "v").data, BytesZ("aaaa"));

  struct stat before {};
  ASSERT_EQ(stat(path_.c_str(), &before), 0);
  std::string text = ReadFileBytes(path_);
  const std::size_t at = text.find("\"aaaa\"");
  ASSERT_NE(at, std::string::npos);
  text.replace(at, 6, "\"bbbb\"");
  const int fd = open(path_.c_str(), O_WRONLY | O_TRUNC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  close(fd);
  const timespec times[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(utimensat(AT_FDCWD, path_.c_str(), times, 0), 0);

  EXPECT_EQ(ReadStored(api, key, "v").data, BytesZ("bbbb"));
  ASSERT_EQ(WriteStored(api, key, "w", Reg::Sz, BytesZ("other")), Reg::Success);
  FileRegistryApi fresh(path_);
  EXPECT_EQ(ReadStoredAt(fresh, Reg::CurrentUser, "Software", "v").data, BytesZ("bbbb"))
      << "a later save must not bring the old value back";
  api.CloseKey(key);
}

// ---- a file that cannot be read ----

struct CorruptFile {
  const char* what;
  std::string text;
};

class CorruptRegistryFile : public ::testing::TestWithParam<CorruptFile> {
 protected:
  void SetUp() override { WriteFileBytes(path_, GetParam().text); }
  // Every call fails with an error code and the file stays as it was.
  void ExpectRefusedAndUntouched(IRegistryApi& api) {
    RegHandle key = 0;
    std::uint32_t disposition = 0;
    EXPECT_EQ(api.CreateKeyEx(Reg::CurrentUser, "Software\\Tessarine", Reg::KeyRead, &key, &disposition),
              Reg::RegistryCorrupt);
    EXPECT_EQ(api.CreateKeyEx(Reg::CurrentUser, "Software\\New", Reg::KeyWrite, &key, &disposition),
              Reg::RegistryCorrupt);
    EXPECT_EQ(api.OpenKeyEx(Reg::CurrentUser, "Software", Reg::KeyRead, &key), Reg::RegistryCorrupt);
    std::uint32_t type = 0, size = 0;
    EXPECT_EQ(api.QueryValueEx(Reg::CurrentUser, "v", &type, nullptr, &size), Reg::RegistryCorrupt);
    EXPECT_EQ(WriteStored(api, Reg::CurrentUser, "v", Reg::Sz, BytesZ("x")), Reg::RegistryCorrupt);
    char name[256];
    std::uint32_t len = sizeof name;
    EXPECT_EQ(api.EnumKeyEx(Reg::CurrentUser, 0, name, &len), Reg::RegistryCorrupt);
    EXPECT_EQ(api.DeleteKey(Reg::CurrentUser, "Software"), Reg::RegistryCorrupt);

    EXPECT_EQ(ReadFileBytes(path_), GetParam().text) << "the file is byte for byte as it was";
    EXPECT_TRUE(SaveTempFiles(dir_.Native()).empty());
  }

  TempDir dir_;
  std::string path_ = dir_.File("registry.reg");
};

TEST_P(CorruptRegistryFile, IsNeverOverwritten) {
  FileRegistryApi api(path_);
  ExpectRefusedAndUntouched(api);
  EXPECT_NE(api.Store().LastError().find("registry.reg"), std::string::npos) << "the reason names the file";
  ExpectRefusedAndUntouched(api);  // and again, from what it remembers

  FakeEnvironment env;
  cRegistry reg(api, env);
  reg.RootKey("Software\\Tessarine");
  EXPECT_EQ(reg.RegRead("\\LarkspireBrowser\\Main", "App Version"), RegValue(std::string()));
  EXPECT_FALSE(reg.RegWrite("\\LarkspireBrowser\\Main", "ProductID", ByteArray{1, 2, 0}, 3));
  std::vector<std::string> arr{"unchanged"};
  EXPECT_FALSE(reg.RegEnumKeys("", arr));
  EXPECT_FALSE(reg.RegDelete(""));
  EXPECT_EQ(arr, std::vector<std::string>{"unchanged"});
  EXPECT_EQ(ReadFileBytes(path_), GetParam().text);
}

TEST_P(CorruptRegistryFile, WorksAgainOnceRepaired) {
  FileRegistryApi api(path_);
  RegHandle key = 0;
  EXPECT_EQ(api.OpenKeyEx(Reg::CurrentUser, "Software", Reg::KeyRead, &key), Reg::RegistryCorrupt);
  WriteFileBytes(path_, "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software]\n\"v\"=\"repaired\"\n");
  EXPECT_EQ(ReadStoredAt(api, Reg::CurrentUser, "Software", "v").data, BytesZ("repaired"));
  EXPECT_TRUE(api.Store().LastError().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, CorruptRegistryFile,
    ::testing::Values(
        CorruptFile{"Empty", ""}, CorruptFile{"NotARegistryFile", "<html>hello</html>\n"},
        CorruptFile{"Truncated",
                    "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Tessarine]\n"
                    "\"ProductID\"=hex:d5,c0,\\\n"},
        CorruptFile{"BrokenString",
                    "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Tessarine\\LarkspireBrowser"
                    "\\Main]\n\"App Version\"=\"3.02.0012\n"},
        CorruptFile{"Binary", std::string("\x7f"
                                          "ELF\x02\x01\x01\x00\x00\x00",
                                          10)}),
    [](const ::testing::TestParamInfo<CorruptFile>& info) { return std::string(info.param.what); });

TEST(UnreadableRegistryFile, AFolderInItsPlaceIsRefusedAndLeftAlone) {
  TempDir dir;
  const std::string path = dir.File("registry.reg");
  ASSERT_EQ(mkdir(path.c_str(), 0700), 0);
  WriteFileBytes(path + "/inside", "kept");
  FileRegistryApi api(path);
  RegHandle key = 0;
  std::uint32_t disposition = 0;
  EXPECT_NE(api.CreateKeyEx(Reg::CurrentUser, "Software", Reg::KeyWrite, &key, &disposition), Reg::Success);
  EXPECT_NE(api.OpenKeyEx(Reg::CurrentUser, "Software", Reg::KeyRead, &key), Reg::Success);
  EXPECT_EQ(ReadFileBytes(path + "/inside"), "kept");
  EXPECT_TRUE(SaveTempFiles(dir.Native()).empty());
}

// ---- other processes ----

// A child process, with its standard output on a pipe when asked.
struct Child {
  pid_t pid = -1;
  int out = -1;
};

Child Spawn(const std::vector<std::string>& args, bool pipeOutput) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  int fds[2] = {-1, -1};
  if (pipeOutput) {
    EXPECT_EQ(pipe(fds), 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
  }
  Child child;
  const int rc = posix_spawn(&child.pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  EXPECT_EQ(rc, 0) << "starting " << args[0];
  if (pipeOutput) {
    close(fds[1]);
    child.out = fds[0];
  }
  return child;
}

// The exit code, or 128 + the signal that ended the child.
int Wait(const Child& child) {
  int status = 0;
  while (waitpid(child.pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  if (child.out >= 0) close(child.out);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// The first line the child writes (up to the newline), "" when it writes none.
std::string ReadLine(const Child& child) {
  std::string line;
  char c = 0;
  while (read(child.out, &c, 1) == 1 && c != '\n') line += c;
  return line;
}

TEST(RegistryFileProcesses, TwoWritersAtOnceKeepAllTheirWrites) {
  TempDir dir;
  const std::string path = dir.File("registry.reg");
  constexpr int kCount = 150;
  const Child a = Spawn({REGISTRY_WRITER, path, "first", std::to_string(kCount)}, false);
  const Child b = Spawn({REGISTRY_WRITER, path, "second", std::to_string(kCount)}, false);
  ASSERT_EQ(Wait(a), 0);
  ASSERT_EQ(Wait(b), 0);

  FileRegistryApi api(path);
  RegHandle key = 0;
  ASSERT_EQ(api.OpenKeyEx(Reg::CurrentUser, "Software\\Test", Reg::KeyRead, &key), Reg::Success);
  for (const char* prefix : {"first", "second"}) {
    for (int i = 0; i < kCount; ++i) {
      const std::string name = prefix + std::to_string(i);
      const StoredValue v = ReadStored(api, key, name);
      ASSERT_EQ(v.rc, Reg::Success) << name << " was lost";
      EXPECT_EQ(v.type, Reg::Dword);
      EXPECT_EQ(v.data, (std::vector<std::uint8_t>{static_cast<std::uint8_t>(i), 0, 0, 0})) << name;
    }
  }
  api.CloseKey(key);
  EXPECT_TRUE(SaveTempFiles(dir.Native()).empty());
}

// The writer's payload number n: its first four bytes; every other byte and
// the length follow from it, so a torn or mixed save would show.
bool PayloadIsWhole(const std::vector<std::uint8_t>& data, std::uint32_t* n) {
  if (data.size() < 4) return false;
  std::memcpy(n, data.data(), 4);
  if (data.size() != 64 * 1024 + (*n % 1000)) return false;
  for (std::size_t i = 4; i < data.size(); ++i)
    if (data[i] != static_cast<std::uint8_t>((*n * 31 + i * 7) & 0xFF)) return false;
  return true;
}

TEST(RegistryFileProcesses, AWriterKilledAtAnyMomentLeavesAWholeFile) {
  TempDir dir;
  const std::string path = dir.File("registry.reg");
  {
    // Something that was there before and must survive every crash.
    FileRegistryApi api(path);
    const RegHandle key = MustCreate(api, Reg::CurrentUser, "Software\\Keep");
    ASSERT_EQ(WriteStored(api, key, "marker", Reg::Sz, BytesZ("still here")), Reg::Success);
    api.CloseKey(key);
  }
  std::mt19937 random(20240607);
  std::uniform_int_distribution<int> pauseMicroseconds(0, 12000);
  constexpr int kKills = 200;
  for (int round = 0; round < kKills; ++round) {
    const Child writer = Spawn({REGISTRY_WRITER, path, "--payload"}, true);
    ASSERT_EQ(ReadLine(writer), "ready") << "round " << round << ": the writer failed with " << Wait(writer);
    usleep(static_cast<useconds_t>(pauseMicroseconds(random)));
    kill(writer.pid, SIGKILL);
    ASSERT_EQ(Wait(writer), 128 + SIGKILL) << "round " << round;

    FileRegistryApi reader(path);
    const StoredValue payload = ReadStoredAt(reader, Reg::CurrentUser, "Software\\Test", "payload");
    ASSERT_EQ(payload.rc, Reg::Success) << "round " << round << ": " << reader.Store().LastError();
    std::uint32_t n = 0;
    ASSERT_TRUE(PayloadIsWhole(payload.data, &n)) << "round " << round << ", payload " << n;
    ASSERT_GE(n, 1u);
    ASSERT_EQ(ReadStoredAt(reader, Reg::CurrentUser, "Software\\Keep", "marker").data, BytesZ("still here"))
        << "round " << round;
    ASSERT_LE(SaveTempFiles(dir.Native()).size(), 1u) << "round " << round << ": temporary files pile up";
  }
  // The next save clears what a killed writer left behind.
  FileRegistryApi api(path);
  const RegHandle key = MustCreate(api, Reg::CurrentUser, "Software\\Keep");
  ASSERT_EQ(WriteStored(api, key, "after", Reg::Dword, {1, 0, 0, 0}), Reg::Success);
  api.CloseKey(key);
  EXPECT_TRUE(SaveTempFiles(dir.Native()).empty());
}

}  // namespace
