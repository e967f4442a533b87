// The per-user registry file as a store: where it lives, when it comes into
// being, that it stays private, that a file it cannot read is never
// overwritten, and that the changes of several processes all survive.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "fakes/registry_backends.hpp"
#include "fakes/registry_test_helpers.hpp"
#include "fakes/scoped_env.hpp"
#include "support/c_registry.hpp"
#include "support/codepage.hpp"

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

// ---- what lies at the file's place ----

const std::string kMain = "Software\\Tessarine\\LarkspireBrowser\\Main";
// "/home/łukasz/Программы" and "/srv/漢字/フォルダ".
const std::string kUtf8Folder =
    "/home/\xC5\x82ukasz/\xD0\x9F\xD1\x80\xD0\xBE\xD0\xB3\xD1\x80\xD0\xB0\xD0\xBC\xD0\xBC\xD1\x8B";
const std::string kCjkFolder = "/srv/\xE6\xBC\xA2\xE5\xAD\x97/\xE3\x83\x95\xE3\x82\xA9\xE3\x83\xAB\xE3\x83\x80";

std::string RegFile(const std::string& values) {
  return "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\" + kMain + "]\n" + values;
}
std::string WithAppPath(const std::string& folder) {
  return RegFile("\"App Version\"=\"3.02.0012\"\n\"App Path\"=\"" + folder + "\"\n");
}

// The registry editor's own export: UTF-16 with string data in UTF-16.
std::string RegistryEditorExport(const std::string& expandableAppPath) {
  std::string hex;
  for (std::uint8_t b : Utf8ToUtf16LeBytes(expandableAppPath + std::string(1, '\0'))) {
    char two[4];
    std::snprintf(two, sizeof two, "%02x,", b);
    hex += two;
  }
  hex.pop_back();
  const auto utf16 = Utf8ToUtf16LeBytes("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\" + kMain +
                                        "]\r\n\"App Path\"=hex(2):" + hex + "\r\n");
  return "\xFF\xFE" + std::string(utf16.begin(), utf16.end());
}

// What is at a path: its kind, where a link leads, and a regular file's bytes.
std::string Snapshot(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) return "nothing";
  if (S_ISLNK(st.st_mode)) {
    char target[4096];
    const ssize_t n = readlink(path.c_str(), target, sizeof target);
    return "link to " + std::string(target, n > 0 ? static_cast<std::size_t>(n) : 0) + ": " +
           (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? ReadFileBytes(path) : "not a file");
  }
  if (!S_ISREG(st.st_mode)) return "mode " + std::to_string(st.st_mode);
  if (st.st_size > (1 << 20)) return "large file of " + std::to_string(st.st_size);
  return ReadFileBytes(path) + " mode " + std::to_string(st.st_mode & 07777);
}

// Stores the product identifier as the wizard does; returns the registry's code.
long StoreProductID(IRegistryApi& api) {
  RegHandle key = 0;
  std::uint32_t disposition = 0;
  if (long rc = api.CreateKeyEx(Reg::CurrentUser, kMain, Reg::KeyWrite, &key, &disposition)) return rc;
  const long rc = WriteStored(api, key, "ProductID", Reg::Binary, {0xd5, 0xc0, 0x01});
  api.CloseKey(key);
  return rc;
}

struct Edge {
  const char* name;
  // Puts something at the file's path (path) in the test's folder (dir).
  std::function<void(const std::string& dir, const std::string& path)> make;
  long read;            // reading "App Path"
  long write;           // storing "ProductID"
  std::string reason;   // part of the store's reason, "" when nothing is refused
  std::string appPath;  // what "App Path" holds, when it is read
  // Further checks of the row, after the read and the write.
  std::function<void(const std::string& dir, const std::string& path)> check = nullptr;
};

void PrintTo(const Edge& edge, std::ostream* os) { *os << edge.name; }

std::function<void(const std::string&, const std::string&)> Writes(const std::string& text) {
  return [text](const std::string&, const std::string& path) { WriteFileBytes(path, text); };
}

class RegistryFileEdges : public ::testing::TestWithParam<Edge> {};

TEST_P(RegistryFileEdges, AreReadRefusedOrSavedSafely) {
  const Edge& edge = GetParam();
  TempDir dir;
  const std::string path = dir.File("registry.reg");
  edge.make(dir.Native(), path);
  const std::string before = Snapshot(path);

  FileRegistryApi api(path);
  const StoredValue app = ReadStoredAt(api, Reg::CurrentUser, kMain, "App Path");
  EXPECT_EQ(app.rc, edge.read);
  std::string reason = api.Store().LastError();
  EXPECT_EQ(StoreProductID(api), edge.write);
  if (reason.empty()) reason = api.Store().LastError();
  if (edge.reason.empty()) {
    EXPECT_EQ(reason, "");
  } else {
    EXPECT_NE(reason.find(edge.reason), std::string::npos) << reason;
    EXPECT_EQ(reason.rfind(dir.Native(), 0), 0u) << "the reason names the file: " << reason;
  }

  if (edge.write != Reg::Success) {
    EXPECT_EQ(Snapshot(path), before) << "what was there is left as it was";
  } else if (edge.read == Reg::Success) {
    FileRegistryApi next(path);  // as the next run of the program
    EXPECT_EQ(ReadStoredAt(next, Reg::CurrentUser, kMain, "App Path").data, BytesZ(edge.appPath));
    EXPECT_EQ(ReadStoredAt(next, Reg::CurrentUser, kMain, "ProductID").data,
              (std::vector<std::uint8_t>{0xd5, 0xc0, 0x01}));
  }
  if (edge.read == Reg::Success) {
    EXPECT_EQ(app.data, BytesZ(edge.appPath));
  }
  if (edge.check) edge.check(dir.Native(), path);
  EXPECT_TRUE(SaveTempFiles(dir.Native()).empty());
}

std::string Deep(std::size_t levels) {
  std::string path = "HKEY_CURRENT_USER";
  for (std::size_t i = 0; i < levels; ++i) path += "\\k";
  return path;
}

INSTANTIATE_TEST_SUITE_P(
    Files, RegistryFileEdges,
    ::testing::Values(
        Edge{"Utf8Folder", Writes(WithAppPath(kUtf8Folder)), Reg::Success, Reg::Success, "", kUtf8Folder,
             [](const std::string&, const std::string& path) {
               EXPECT_NE(ReadFileBytes(path).find("\"App Path\"=\"" + kUtf8Folder + "\"\n"), std::string::npos)
                   << "saved as UTF-8 text, as it was written";
             }},
        Edge{"CjkNamesAndTexts", Writes(WithAppPath(kCjkFolder)), Reg::Success, Reg::Success, "", kCjkFolder,
             [](const std::string&, const std::string& path) {
               FileRegistryApi api(path);
               FakeEnvironment env;
               cRegistry reg(api, env);
               reg.RootKey("Software\\Tessarine");
               const std::string key = "\\Components\\\xE8\xA1\xA8", name = "\xE5\x90\x8D\xE5\x89\x8D";  // 表, 名前
               ASSERT_TRUE(reg.RegWrite(key, name, std::string(kCjkFolder)));
               // "њ" and "ъ" differ in a byte that Windows-1252 would take for
               // "š" and "Š"; they are two names, and "Њ" is the first.
               ASSERT_TRUE(reg.RegWrite(key, "\xD1\x9A", std::string("nje")));
               ASSERT_TRUE(reg.RegWrite(key, "\xD1\x8A", std::string("hard sign")));
               FileRegistryApi next(path);
               cRegistry again(next, env);
               again.RootKey("Software\\TESSARINE");
               EXPECT_EQ(again.RegRead(key, name), RegValue(kCjkFolder));
               EXPECT_EQ(again.RegRead(key, "\xD0\x8A"), RegValue(std::string("nje")));
               EXPECT_EQ(again.RegRead(key, "\xD1\x8A"), RegValue(std::string("hard sign")));
             }},
        Edge{"RegistryEditorExport", Writes(RegistryEditorExport(kUtf8Folder)), Reg::Success, Reg::Success, "",
             kUtf8Folder},
        Edge{"InvalidUtf8", Writes(WithAppPath("/home/\xC5ukasz")), Reg::RegistryCorrupt, Reg::RegistryCorrupt,
             "line 5: bytes that are not UTF-8", ""},
        Edge{"NestedTooDeep", Writes(RegFile("[" + Deep(513) + "]\n")), Reg::RegistryCorrupt, Reg::RegistryCorrupt,
             "line 4: keys nested deeper than the registry's 512 levels", ""},
        Edge{"NestedAsDeepAsAllowed", Writes(RegFile("[" + Deep(512) + "]\n")), Reg::FileNotFound, Reg::Success, "",
             "",
             [](const std::string&, const std::string& path) {
               FileRegistryApi api(path);
               RegHandle key = 0;
               std::uint32_t disposition = 0;
               EXPECT_EQ(api.CreateKeyEx(Reg::CurrentUser, Deep(513).substr(18), Reg::KeyWrite, &key, &disposition),
                         Reg::InvalidParameter)
                   << "the registry makes no key deeper either";
               EXPECT_EQ(api.CreateKeyEx(Reg::CurrentUser, Deep(200000).substr(18), Reg::KeyWrite, &key, &disposition),
                         Reg::InvalidParameter);
               EXPECT_LT(ReadFileBytes(path).size(), 700000u);
             }},
        Edge{"NotARegistryFile", Writes("<html>hello</html>\n"), Reg::RegistryCorrupt, Reg::RegistryCorrupt,
             "line 1: not a registry file", ""},
        Edge{"Truncated", Writes(RegFile("\"ProductID\"=hex:d5,c0,\\\n")), Reg::RegistryCorrupt,
             Reg::RegistryCorrupt, "line 4: continuation at end of file", ""},
        Edge{"ReadOnly",
             [](const std::string&, const std::string& path) {
               WriteFileBytes(path, WithAppPath(kUtf8Folder));
               ASSERT_EQ(chmod(path.c_str(), 0400), 0);
             },
             Reg::Success, Reg::AccessDenied, "read-only", kUtf8Folder},
        Edge{"SymlinkedFile",
             [](const std::string& dir, const std::string& path) {
               ASSERT_EQ(mkdir((dir + "/dotfiles").c_str(), 0700), 0);
               WriteFileBytes(dir + "/dotfiles/registry.reg", WithAppPath(kUtf8Folder));
               ASSERT_EQ(symlink("dotfiles/registry.reg", path.c_str()), 0);
             },
             Reg::Success, Reg::Success, "", kUtf8Folder,
             [](const std::string& dir, const std::string& path) {
               EXPECT_EQ(Snapshot(path).rfind("link to dotfiles/registry.reg: ", 0), 0u) << "the link stays";
               EXPECT_NE(ReadFileBytes(dir + "/dotfiles/registry.reg").find("\"ProductID\"=hex:d5,c0,01"),
                         std::string::npos)
                   << "and its target holds the change";
               EXPECT_TRUE(FilesStartingWith(dir + "/dotfiles", ".registry.reg.tmp").empty());
             }},
        Edge{"DanglingSymlink",
             [](const std::string&, const std::string& path) { ASSERT_EQ(symlink("gone/registry.reg", path.c_str()), 0); },
             Reg::FileNotFound, Reg::CantWrite, "a symbolic link whose target cannot be saved", ""},
        Edge{"SymlinkedLock",
             [](const std::string& dir, const std::string& path) {
               WriteFileBytes(path, WithAppPath(kUtf8Folder));
               ASSERT_EQ(symlink((dir + "/elsewhere").c_str(), (path + ".lock").c_str()), 0);
             },
             Reg::Success, Reg::CantWrite, "the lock file is a symbolic link", kUtf8Folder,
             [](const std::string& dir, const std::string&) {
               EXPECT_EQ(Snapshot(dir + "/elsewhere"), "nothing") << "the link was not followed";
             }},
        Edge{"Fifo", [](const std::string&, const std::string& path) { ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); },
             Reg::BadDb, Reg::BadDb, "not a regular file", ""},
        Edge{"Device",
             [](const std::string&, const std::string& path) { ASSERT_EQ(symlink("/dev/zero", path.c_str()), 0); },
             Reg::BadDb, Reg::BadDb, "not a regular file", ""},
        Edge{"Folder",
             [](const std::string&, const std::string& path) {
               ASSERT_EQ(mkdir(path.c_str(), 0700), 0);
               WriteFileBytes(path + "/inside", "kept");
             },
             Reg::BadDb, Reg::BadDb, "not a regular file", ""},
        Edge{"Oversized",
             [](const std::string&, const std::string& path) {
               WriteFileBytes(path, WithAppPath(kUtf8Folder));
               ASSERT_EQ(truncate(path.c_str(), (off_t{64} << 20) + 1), 0);  // sparse
             },
             Reg::BadDb, Reg::BadDb, "64 MiB", ""}),
    [](const ::testing::TestParamInfo<Edge>& info) { return std::string(info.param.name); });

TEST(RegistryFileRepair, AFileThatCouldNotBeParsedWorksAgainOnceRepaired) {
  TempDir dir;
  const std::string path = dir.File("registry.reg");
  WriteFileBytes(path, "<html>hello</html>\n");
  FileRegistryApi api(path);
  RegHandle key = 0;
  EXPECT_EQ(api.OpenKeyEx(Reg::CurrentUser, "Software", Reg::KeyRead, &key), Reg::RegistryCorrupt);
  WriteFileBytes(path, "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software]\n\"v\"=\"repaired\"\n");
  EXPECT_EQ(ReadStoredAt(api, Reg::CurrentUser, "Software", "v").data, BytesZ("repaired"));
  EXPECT_TRUE(api.Store().LastError().empty());
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
