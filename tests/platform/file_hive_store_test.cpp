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
#include <random>
#include <regex>

#include "fakes/registry_backends.hpp"
#include "fakes/registry_test_helpers.hpp"
#include "fakes/scoped_env.hpp"

namespace {

const std::string kMain = "Software\\Tessarine\\LarkspireBrowser\\Main";
// "/home/łukasz/Программы/漢字/フォルダ".
const std::string kUtf8 =
    "/home/\xC5\x82ukasz/\xD0\x9F\xD1\x80\xD0\xBE\xD0\xB3\xD1\x80\xD0\xB0\xD0\xBC\xD0\xBC\xD1\x8B/"
    "\xE6\xBC\xA2\xE5\xAD\x97/\xE3\x83\x95\xE3\x82\xA9\xE3\x83\xAB\xE3\x83\x80";

unsigned Mode(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) ? 0 : st.st_mode & 07777;
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
std::string Deep(int levels) { return levels ? "\\k" + Deep(levels - 1) : ""; }
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

  // A file rewritten within one tick of the clock keeps its inode, size and
  // time; only its contents tell.
  struct stat before {};
  ASSERT_EQ(stat(path.c_str(), &before), 0);
  WriteFileBytes(path, std::regex_replace(ReadFileBytes(path), std::regex("aaaa"), "bbbb"));
  const timespec times[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  EXPECT_EQ(ReadStored(api, key, "v").data, BytesZ("bbbb"));
  ASSERT_EQ(WriteStored(api, key, "w", Reg::Sz, BytesZ("other")), Reg::Success);
  EXPECT_NE(ReadFileBytes(path).find("\"v\"=\"bbbb\"\n\"w\"=\"other\"\n"), std::string::npos) << "no old value back";
  api.CloseKey(key);
}

// What lies at the file's place: a file of these bytes, or the same made
// read-only, a link to it, a link to nowhere, a file with a linked lock, a
// FIFO, a device, a folder, or the file grown beyond the size limit.
enum Kind { kFile, kReadOnly, kLink, kDangling, kLinkedLock, kFifo, kDevice, kFolder, kHuge };
struct Edge {
  const char* name;
  Kind kind;
  std::string text;
  long read, write;    // reading "App Path", storing "ProductID"
  std::string reason;  // part of the store's reason, "" when nothing is refused
};
void PrintTo(const Edge& edge, std::ostream* os) { *os << edge.name; }

class RegistryFileEdges : public ::testing::TestWithParam<Edge> {};

TEST_P(RegistryFileEdges, AreReadRefusedOrSavedSafely) {
  const Edge& edge = GetParam();
  TempDir dir;
  const std::string path = dir.File("registry.reg"), target = dir.File("target.reg");
  const Kind kind = edge.kind;
  WriteFileBytes(kind == kLink ? target : kind == kDangling ? dir.File("unused") : path, edge.text);
  ASSERT_EQ(kind == kReadOnly     ? chmod(path.c_str(), 0400)
            : kind == kLink       ? symlink("target.reg", path.c_str())
            : kind == kDangling   ? symlink("gone/registry.reg", path.c_str())
            : kind == kLinkedLock ? symlink(dir.File("elsewhere").c_str(), (path + ".lock").c_str())
            : kind == kFifo       ? (unlink(path.c_str()), mkfifo(path.c_str(), 0600))
            : kind == kDevice     ? (unlink(path.c_str()), symlink("/dev/zero", path.c_str()))
            : kind == kFolder     ? (unlink(path.c_str()), mkdir(path.c_str(), 0700))
            : kind == kHuge       ? truncate(path.c_str(), (off_t{64} << 20) + 1)
                                  : 0,
            0);
  struct stat before {
  }, after{};
  lstat(path.c_str(), &before);

  FileRegistryApi api(path);
  const StoredValue app = ReadStoredAt(api, Reg::CurrentUser, kMain, "App Path");
  EXPECT_EQ(app.rc, edge.read);
  EXPECT_EQ(app.data, app.rc == Reg::Success ? BytesZ(kUtf8) : std::vector<std::uint8_t>{});
  std::string reason = api.Store().LastError();
  RegHandle key = 0;
  std::uint32_t disposition = 0;
  long rc = api.CreateKeyEx(Reg::CurrentUser, kMain, Reg::KeyWrite, &key, &disposition);
  if (rc == Reg::Success) rc = WriteStored(api, key, "ProductID", Reg::Binary, {0xd5, 0xc0}), api.CloseKey(key);
  EXPECT_EQ(rc, edge.write);
  if (reason.empty()) reason = api.Store().LastError();
  EXPECT_EQ(reason.empty(), edge.reason.empty()) << reason;
  EXPECT_NE(reason.find(edge.reason), std::string::npos) << reason;
  EXPECT_TRUE(reason.empty() || reason.rfind(dir.Native(), 0) == 0) << "the reason names the file: " << reason;

  lstat(path.c_str(), &after);
  EXPECT_EQ(before.st_mode & S_IFMT, after.st_mode & S_IFMT) << "what lies there keeps its kind";
  EXPECT_TRUE(kind > kLinkedLock || edge.write == Reg::Success || ReadFileBytes(path) == edge.text) << "and bytes";
  FileRegistryApi next(path);  // as the next run of the program
  EXPECT_EQ(ReadStoredAt(next, Reg::CurrentUser, kMain, "App Path").data, app.data);
  const std::vector<std::uint8_t> stored = edge.write == Reg::Success ? Bytes("\xd5\xc0") : Bytes("");
  EXPECT_EQ(ReadStoredAt(next, Reg::CurrentUser, kMain, "ProductID").data, stored);
  EXPECT_EQ(kind == kLink, ReadFileBytes(target).find("\"ProductID\"=hex:d5,c0") != std::string::npos);
  EXPECT_EQ(TempFiles(dir.Native()), 0);
  EXPECT_FALSE(std::filesystem::exists(dir.File("elsewhere"))) << "a linked lock is not followed";
}

const long kOk = Reg::Success, kCorrupt = Reg::RegistryCorrupt, kBad = Reg::BadDb;
INSTANTIATE_TEST_SUITE_P(
    Files, RegistryFileEdges,
    ::testing::Values(
        Edge{"Utf8AndCjkFolder", kFile, WithAppPath(kUtf8), kOk, kOk, ""},
        Edge{"RegistryEditorExport", kFile, RegistryEditorExport(kUtf8), kOk, kOk, ""},
        Edge{"InvalidUtf8", kFile, WithAppPath("/home/\xC5ukasz"), kCorrupt, kCorrupt,
             "line 5: bytes that are not UTF-8"},
        Edge{"NestedTooDeep", kFile, RegFile("[HKEY_CURRENT_USER" + Deep(513) + "]\n"), kCorrupt, kCorrupt,
             "line 4: keys nested deeper than the registry's 512"},
        Edge{"NestedAsDeepAsAllowed", kFile, RegFile("[HKEY_CURRENT_USER" + Deep(512) + "]\n"), Reg::FileNotFound, kOk,
             ""},
        Edge{"NotARegistryFile", kFile, "<html>hello</html>\n", kCorrupt, kCorrupt, "line 1: not a registry file"},
        Edge{"Truncated", kFile, RegFile("\"ProductID\"=hex:d5,c0,\\\n"), kCorrupt, kCorrupt,
             "line 4: continuation at end"},
        Edge{"ReadOnly", kReadOnly, WithAppPath(kUtf8), kOk, Reg::AccessDenied, "read-only"},
        Edge{"SymlinkedFile", kLink, WithAppPath(kUtf8), kOk, kOk, ""},
        Edge{"DanglingSymlink", kDangling, "", Reg::FileNotFound, Reg::CantWrite,
             "a symbolic link whose target cannot be"},
        Edge{"SymlinkedLock", kLinkedLock, WithAppPath(kUtf8), kOk, Reg::CantWrite, "the lock file is a symbolic link"},
        Edge{"Fifo", kFifo, "", kBad, kBad, "not a regular file"},
        Edge{"Device", kDevice, "", kBad, kBad, "not a regular file"},
        Edge{"Folder", kFolder, "", kBad, kBad, "not a regular file"},
        Edge{"Oversized", kHuge, WithAppPath(kUtf8), kBad, kBad, "64 MiB"}),
    [](const ::testing::TestParamInfo<Edge>& info) { return std::string(info.param.name); });

// A value whose every byte follows from its first four, so that a torn or
// mixed save shows.
std::vector<std::uint8_t> Payload(std::uint32_t n, std::size_t size) {
  std::vector<std::uint8_t> data(size, static_cast<std::uint8_t>(n));
  std::memcpy(data.data(), &n, 4);
  return data;
}

// Writers in other processes: two at once keep all their values; one killed
// at any moment leaves a whole file, and the next save clears its leftovers.
TEST(RegistryFileProcesses, KeepEveryWriteAndSurviveAKilledWriter) {
  TempDir dir;
  const std::string path = dir.File("registry.reg");
  const auto writer = [&](const std::string& prefix, std::uint32_t count) {
    const pid_t pid = fork();
    if (pid != 0) return pid;
    FileRegistryApi api(path);
    const RegHandle key = MustCreate(api, Reg::CurrentUser, "Software\\Test");
    long rc = Reg::Success;
    for (std::uint32_t i = 0; rc == Reg::Success && (count == 0 || i < count); ++i)
      rc = count ? WriteStored(api, key, prefix + std::to_string(i), Reg::Binary, Payload(i, 4))
                 : WriteStored(api, key, prefix, Reg::Binary, Payload(i, 64 * 1024 + i % 1000));
    _exit(rc == Reg::Success ? 0 : 1);
  };
  int status = 0;
  for (pid_t pid : {writer("first", 150), writer("second", 150)})
    EXPECT_TRUE(waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0);
  FileRegistryApi api(path);
  for (const char* prefix : {"first", "second"})
    for (std::uint32_t i = 0; i < 150; ++i)
      ASSERT_EQ(ReadStoredAt(api, Reg::CurrentUser, "Software\\Test", prefix + std::to_string(i)).data, Payload(i, 4))
          << prefix << i << " was lost";

  std::mt19937 random(20240607);
  for (int round = 0; round < 100; ++round) {
    const pid_t pid = writer("payload", 0);
    usleep(std::uniform_int_distribution<useconds_t>(0, 20000)(random));
    kill(pid, SIGKILL);
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    FileRegistryApi reader(path);
    const StoredValue v = ReadStoredAt(reader, Reg::CurrentUser, "Software\\Test", "payload");
    std::uint32_t n = 0;
    if (v.data.size() >= 4) std::memcpy(&n, v.data.data(), 4);
    ASSERT_TRUE(v.rc == Reg::FileNotFound || v.data == Payload(n, 64 * 1024 + n % 1000)) << round << ": torn";
    ASSERT_EQ(ReadStoredAt(reader, Reg::CurrentUser, "Software\\Test", "second149").rc, Reg::Success) << round;
    ASSERT_LE(TempFiles(dir.Native()), 1) << round << ": temporary files pile up";
  }
  const RegHandle key = MustCreate(api, Reg::CurrentUser, "Software\\Test");
  ASSERT_EQ(WriteStored(api, key, "after", Reg::Dword, {1, 0, 0, 0}), Reg::Success);
  api.CloseKey(key);
  EXPECT_EQ(TempFiles(dir.Native()), 0);
}

}  // namespace
