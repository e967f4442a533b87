// The per-user registry file as a store: where it lives, that it stays
// private, that what lies at its place is read, refused or saved safely, and
// that the changes of several processes, even killed ones, all survive.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <random>

#include "fakes/registry_backends.hpp"
#include "fakes/registry_test_helpers.hpp"
#include "fakes/scoped_env.hpp"

namespace {

const std::string kMain = "Software\\Tessarine\\LarkspireBrowser\\Main";
// "/home/łukasz/Программы" and "/srv/漢字/フォルダ".
const std::string kUtf8 =
    "/home/\xC5\x82ukasz/\xD0\x9F\xD1\x80\xD0\xBE\xD0\xB3\xD1\x80\xD0\xB0\xD0\xBC\xD0\xBC\xD1\x8B";
const std::string kCjk = "/srv/\xE6\xBC\xA2\xE5\xAD\x97/\xE3\x83\x95\xE3\x82\xA9\xE3\x83\xAB\xE3\x83\x80";

unsigned Mode(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}
int TempFiles(const std::string& dir) {
  int n = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    n += e.path().filename().string().rfind(".registry.reg.tmp", 0) == 0;
  return n;
}
std::string RegFile(const std::string& body) {
  return "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\" + kMain + "]\n" + body;
}
std::string WithAppPath(const std::string& folder) {
  return RegFile("\"App Version\"=\"3.02.0012\"\n\"App Path\"=\"" + folder + "\"\n");
}
std::string Deep(int levels) {
  std::string path;
  for (int i = 0; i < levels; ++i) path += "\\k";
  return path;
}
// The registry editor's own export: UTF-16 with string data in UTF-16.
std::string RegistryEditorExport(const std::string& appPath) {
  std::string hex;
  for (std::uint8_t b : Utf8ToUtf16LeBytes(appPath + '\0'))
    hex += (hex.empty() ? "" : ",") + std::string{"0123456789abcdef"[b >> 4], "0123456789abcdef"[b & 15]};
  const auto utf16 = Utf8ToUtf16LeBytes("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\" + kMain +
                                        "]\r\n\"App Path\"=hex(2):" + hex + "\r\n");
  return "\xFF\xFE" + std::string(utf16.begin(), utf16.end());
}

TEST(RegistryFilePlace, FollowsTheUsersConfigurationFolder) {
  ScopedEnv home("HOME", "/home/ann");
  for (const char* xdg : {"/srv/conf", "relative/conf", static_cast<const char*>(nullptr)}) {
    ScopedEnv config("XDG_CONFIG_HOME", xdg);
    EXPECT_EQ(FileHiveStore::DefaultPath(),
              xdg && *xdg == '/' ? "/srv/conf/larkspire/registry.reg" : "/home/ann/.config/larkspire/registry.reg");
  }
}

TEST(RegistryFile, ComesIntoBeingPrivateWithTheFirstKeyAndSeesEveryChange) {
  TempDir dir;
  const std::string folder = dir.File("config/larkspire"), path = folder + "/registry.reg";
  FileRegistryApi api(path);
  EXPECT_EQ(ReadStoredAt(api, Reg::CurrentUser, "Software", "v").rc, Reg::FileNotFound);
  EXPECT_FALSE(std::filesystem::exists(folder)) << "reading creates nothing";
  const RegHandle key = MustCreate(api, Reg::CurrentUser, "Software");
  EXPECT_EQ(Mode(path), 0600u);
  EXPECT_EQ(Mode(folder) & 077, 0u) << "the folder is the user's alone";
  ASSERT_EQ(chmod(path.c_str(), 0644), 0);
  ASSERT_EQ(WriteStored(api, key, "v", Reg::Sz, BytesZ("aaaa")), Reg::Success);
  EXPECT_EQ(Mode(path), 0600u) << "every save leaves it private";

  // A file replaced within one tick of the clock can keep its inode number,
  // size and time; only its contents tell.
  struct stat before {};
  ASSERT_EQ(stat(path.c_str(), &before), 0);
  std::string text = ReadFileBytes(path);
  text.replace(text.find("aaaa"), 4, "bbbb");
  const int fd = open(path.c_str(), O_WRONLY | O_TRUNC);
  ASSERT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  close(fd);
  const timespec times[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  EXPECT_EQ(ReadStored(api, key, "v").data, BytesZ("bbbb"));
  ASSERT_EQ(WriteStored(api, key, "w", Reg::Sz, BytesZ("other")), Reg::Success);
  EXPECT_NE(ReadFileBytes(path).find("\"v\"=\"bbbb\"\n\"w\"=\"other\"\n"), std::string::npos) << "no old value back";
  api.CloseKey(key);
}

struct Edge {
  const char* name;
  std::function<void(const std::string& dir, const std::string& path)> make;
  long read;           // reading "App Path"
  long write;          // storing "ProductID"
  std::string reason;  // part of the store's reason, "" when nothing is refused
  std::string appPath;
};
void PrintTo(const Edge& edge, std::ostream* os) { *os << edge.name; }
std::function<void(const std::string&, const std::string&)> Writes(const std::string& text) {
  return [text](const std::string&, const std::string& path) { WriteFileBytes(path, text); };
}
std::function<void(const std::string&, const std::string&)> Runs(
    std::function<int(const std::string&, const std::string&)> make) {
  return [make](const std::string& dir, const std::string& path) { ASSERT_EQ(make(dir, path), 0); };
}

class RegistryFileEdges : public ::testing::TestWithParam<Edge> {};

TEST_P(RegistryFileEdges, AreReadRefusedOrSavedSafely) {
  const Edge& edge = GetParam();
  TempDir dir;
  const std::string path = dir.File("registry.reg");
  edge.make(dir.Native(), path);
  struct stat before {
  }, after{};
  lstat(path.c_str(), &before);
  const std::string bytes = S_ISREG(before.st_mode) && before.st_size < 100000 ? ReadFileBytes(path) : "";

  FileRegistryApi api(path);
  const StoredValue app = ReadStoredAt(api, Reg::CurrentUser, kMain, "App Path");
  EXPECT_EQ(app.rc, edge.read);
  if (edge.read == Reg::Success) EXPECT_EQ(app.data, BytesZ(edge.appPath));
  std::string reason = api.Store().LastError();
  RegHandle key = 0;
  std::uint32_t disposition = 0;
  long rc = api.CreateKeyEx(Reg::CurrentUser, kMain, Reg::KeyWrite, &key, &disposition);
  if (rc == Reg::Success) rc = WriteStored(api, key, "ProductID", Reg::Binary, {0xd5, 0xc0, 0x01}), api.CloseKey(key);
  EXPECT_EQ(rc, edge.write);
  if (reason.empty()) reason = api.Store().LastError();
  EXPECT_EQ(reason.empty(), edge.reason.empty()) << reason;
  EXPECT_NE(reason.find(edge.reason), std::string::npos) << reason;
  if (!reason.empty()) EXPECT_EQ(reason.rfind(dir.Native(), 0), 0u) << "the reason names the file: " << reason;

  lstat(path.c_str(), &after);
  EXPECT_EQ(before.st_mode & S_IFMT, after.st_mode & S_IFMT) << "what lies there keeps its kind";
  if (edge.write != Reg::Success && !bytes.empty())
    EXPECT_EQ(ReadFileBytes(path), bytes) << "and a refused file its bytes";
  if (edge.write == Reg::Success) {
    FileRegistryApi next(path);  // as the next run of the program
    EXPECT_EQ(ReadStoredAt(next, Reg::CurrentUser, kMain, "App Path").data, app.data);
    EXPECT_EQ(ReadStoredAt(next, Reg::CurrentUser, kMain, "ProductID").data,
              (std::vector<std::uint8_t>{0xd5, 0xc0, 0x01}));
  }
  EXPECT_EQ(TempFiles(dir.Native()), 0);
  EXPECT_FALSE(std::filesystem::exists(dir.Native() + "/elsewhere")) << "a linked lock is not followed";
}

INSTANTIATE_TEST_SUITE_P(
    Files, RegistryFileEdges,
    ::testing::Values(
        Edge{"Utf8Folder", Writes(WithAppPath(kUtf8)), Reg::Success, Reg::Success, "", kUtf8},
        Edge{"CjkFolder", Writes(WithAppPath(kCjk)), Reg::Success, Reg::Success, "", kCjk},
        Edge{"RegistryEditorExport", Writes(RegistryEditorExport(kUtf8)), Reg::Success, Reg::Success, "", kUtf8},
        Edge{"InvalidUtf8", Writes(WithAppPath("/home/\xC5ukasz")), Reg::RegistryCorrupt, Reg::RegistryCorrupt,
             "line 5: bytes that are not UTF-8", ""},
        Edge{"NestedTooDeep", Writes(RegFile("[HKEY_CURRENT_USER" + Deep(513) + "]\n")), Reg::RegistryCorrupt,
             Reg::RegistryCorrupt, "line 4: keys nested deeper than the registry's 512 levels", ""},
        Edge{"NestedAsDeepAsAllowed", Writes(RegFile("[HKEY_CURRENT_USER" + Deep(512) + "]\n")), Reg::FileNotFound,
             Reg::Success, "", ""},
        Edge{"NotARegistryFile", Writes("<html>hello</html>\n"), Reg::RegistryCorrupt, Reg::RegistryCorrupt,
             "line 1: not a registry file", ""},
        Edge{"Truncated", Writes(RegFile("\"ProductID\"=hex:d5,c0,\\\n")), Reg::RegistryCorrupt, Reg::RegistryCorrupt,
             "line 4: continuation at end of file", ""},
        Edge{"ReadOnly", Runs([](auto&, auto& path) {
               return WriteFileBytes(path, WithAppPath(kUtf8)), chmod(path.c_str(), 0400);
             }),
             Reg::Success, Reg::AccessDenied, "read-only", kUtf8},
        Edge{"SymlinkedFile", Runs([](auto& dir, auto& path) {
               return WriteFileBytes(dir + "/target.reg", WithAppPath(kUtf8)), symlink("target.reg", path.c_str());
             }),
             Reg::Success, Reg::Success, "", kUtf8},
        Edge{"DanglingSymlink", Runs([](auto&, auto& path) { return symlink("gone/registry.reg", path.c_str()); }),
             Reg::FileNotFound, Reg::CantWrite, "a symbolic link whose target cannot be saved", ""},
        Edge{"SymlinkedLock", Runs([](auto& dir, auto& path) {
               return WriteFileBytes(path, WithAppPath(kUtf8)),
                      symlink((dir + "/elsewhere").c_str(), (path + ".lock").c_str());
             }),
             Reg::Success, Reg::CantWrite, "the lock file is a symbolic link", kUtf8},
        Edge{"Fifo", Runs([](auto&, auto& path) { return mkfifo(path.c_str(), 0600); }), Reg::BadDb, Reg::BadDb,
             "not a regular file", ""},
        Edge{"Device", Runs([](auto&, auto& path) { return symlink("/dev/zero", path.c_str()); }), Reg::BadDb,
             Reg::BadDb, "not a regular file", ""},
        Edge{"Folder", Runs([](auto&, auto& path) { return mkdir(path.c_str(), 0700); }), Reg::BadDb, Reg::BadDb,
             "not a regular file", ""},
        Edge{"Oversized", Runs([](auto&, auto& path) {
               return WriteFileBytes(path, WithAppPath(kUtf8)), truncate(path.c_str(), (off_t{64} << 20) + 1);
             }),
             Reg::BadDb, Reg::BadDb, "64 MiB", ""}),
    [](const ::testing::TestParamInfo<Edge>& info) { return std::string(info.param.name); });

// Writers in other processes: two at once keep all their values; one killed
// at any moment leaves a whole file, and the next save clears its leftovers.
TEST(RegistryFileProcesses, KeepEveryWriteAndSurviveAKilledWriter) {
  TempDir dir;
  const std::string path = dir.File("registry.reg");
  const auto writer = [&](const std::string& prefix, int count) {
    const pid_t pid = fork();
    if (pid != 0) return pid;
    FileRegistryApi api(path);
    RegHandle key = 0;
    std::uint32_t d = 0;
    bool ok = api.CreateKeyEx(Reg::CurrentUser, "Software\\Test", Reg::KeyWrite, &key, &d) == Reg::Success;
    for (std::uint32_t i = 0; ok && (count < 0 || static_cast<int>(i) < count); ++i) {
      std::vector<std::uint8_t> data(count < 0 ? 64 * 1024 + i % 1000 : 4, static_cast<std::uint8_t>(i));
      std::memcpy(data.data(), &i, 4);
      ok = WriteStored(api, key, count < 0 ? prefix : prefix + std::to_string(i), Reg::Binary, data) == Reg::Success;
    }
    _exit(ok ? 0 : 1);
  };
  const pid_t a = writer("first", 150), b = writer("second", 150);
  int status = 0;
  for (pid_t pid : {a, b})
    EXPECT_TRUE(waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0);
  FileRegistryApi api(path);
  for (const char* prefix : {"first", "second"})
    for (std::uint32_t i = 0; i < 150; ++i)
      ASSERT_EQ(ReadStoredAt(api, Reg::CurrentUser, "Software\\Test", prefix + std::to_string(i)).data,
                (std::vector<std::uint8_t>{static_cast<std::uint8_t>(i), 0, 0, 0}))
          << prefix << i << " was lost";

  std::mt19937 random(20240607);
  for (int round = 0; round < 100; ++round) {
    const pid_t pid = writer("payload", -1);
    usleep(std::uniform_int_distribution<useconds_t>(0, 20000)(random));
    kill(pid, SIGKILL);
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    FileRegistryApi reader(path);
    const StoredValue v = ReadStoredAt(reader, Reg::CurrentUser, "Software\\Test", "payload");
    ASSERT_TRUE(v.rc == Reg::Success || v.rc == Reg::FileNotFound)
        << "round " << round << ": " << reader.Store().LastError();
    std::uint32_t n = 0;
    if (v.rc == Reg::Success) std::memcpy(&n, v.data.data(), 4);
    ASSERT_TRUE(v.rc != Reg::Success || v.data ==
                                            [&] {
                                              std::vector<std::uint8_t> d(64 * 1024 + n % 1000,
                                                                          static_cast<std::uint8_t>(n));
                                              std::memcpy(d.data(), &n, 4);
                                              return d;
                                            }())
        << "round " << round << ": a torn value";
    ASSERT_EQ(ReadStoredAt(reader, Reg::CurrentUser, "Software\\Test", "second149").rc, Reg::Success)
        << "round " << round;
    ASSERT_LE(TempFiles(dir.Native()), 1) << "round " << round << ": temporary files pile up";
  }
  const RegHandle key = MustCreate(api, Reg::CurrentUser, "Software\\Test");
  ASSERT_EQ(WriteStored(api, key, "after", Reg::Dword, {1, 0, 0, 0}), Reg::Success);
  api.CloseKey(key);
  EXPECT_EQ(TempFiles(dir.Native()), 0);
}

}  // namespace
