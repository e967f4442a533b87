// The per-user registry file as a store: where it lives, that it stays
// private, that what lies at its place is read, refused or saved safely, and
// that the changes of several processes, even killed ones, all survive.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <regex>
#include <thread>

#include "fakes/registry_backends.hpp"
#include "fakes/scoped_env.hpp"

namespace {

const std::string kMain = "Software\\Tessarine\\LarkspireBrowser\\Main";
const std::string kUtf8 = "/home/\xC5\x82ukasz/\xE6\xBC\xA2\xE5\xAD\x97";  // "/home/łukasz/漢字"

unsigned Mode(const std::string& path) { return static_cast<unsigned>(std::filesystem::status(path).permissions()); }
long TempFiles(const std::string& dir) {
  return std::count_if(std::filesystem::directory_iterator(dir), {},
                       [](const auto& e) { return e.path().filename().string().starts_with(".registry.reg.tmp"); });
}
std::string WithAppPath(const std::string& folder) {
  return "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\" + kMain + "]\n\"App Path\"=\"" + folder +
         "\"\n";
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
  EXPECT_TRUE(Mode(path) == 0600u && (Mode(folder) & 077) == 0u) << "file and folder are the user's alone";
  ASSERT_EQ(chmod(path.c_str(), 0644), 0);
  ASSERT_EQ(WriteStored(api, key, "v", Reg::Sz, BytesZ("aaaa")), Reg::Success);
  EXPECT_EQ(Mode(path), 0600u) << "every save leaves it private";
  // A file rewritten within one tick of the clock keeps its inode, size and time; only its contents tell.
  const auto time = std::filesystem::last_write_time(path);
  WriteFileBytes(path, std::regex_replace(ReadFileBytes(path), std::regex("aaaa"), "bbbb"));
  std::filesystem::last_write_time(path, time);
  EXPECT_EQ(ReadStored(api, key, "v").data, BytesZ("bbbb"));
  ASSERT_EQ(WriteStored(api, key, "w", Reg::Sz, BytesZ("other")), Reg::Success);
  EXPECT_NE(ReadFileBytes(path).find("\"v\"=\"bbbb\"\n\"w\"=\"other\"\n"), std::string::npos) << "no old value back";
  // A file that had stood still when it was read is not read again while it stays so; another process's change is seen.
  ASSERT_EQ(WriteStored(api, key, "large", Reg::Sz, BytesZ(std::string(10000, 'l'))), Reg::Success);
  std::this_thread::sleep_for(std::chrono::milliseconds(3100));
  const auto bytesRead = [] {
    const std::string io = ReadFileBytes("/proc/self/io");
    return std::stoll(io.substr(io.find("rchar: ") + 7));
  };
  EXPECT_EQ(ReadStored(api, key, "w").data, BytesZ("other"));
  const long long before = bytesRead();
  EXPECT_EQ(ReadStored(api, key, "w").data, BytesZ("other"));
  EXPECT_LT(bytesRead() - before, static_cast<long long>(std::filesystem::file_size(path))) << "read again";
  FileRegistryApi other(path);
  ASSERT_EQ(WriteStored(other, MustCreate(other, Reg::CurrentUser, "Software"), "w", Reg::Sz, BytesZ("new")), 0);
  EXPECT_EQ(ReadStored(api, key, "w").data, BytesZ("new"));
  api.CloseKey(key);
}

// What lies at the file's place: a file of these bytes, or the same made
// read-only, a link to it, a file with a linked lock, a link to nowhere, a
// FIFO, the file grown beyond the size limit, or one that a save would grow
// beyond it, or a file whose lock another program holds, or a disk that
// fills while the save is written.
enum Kind { kFile, kReadOnly, kLink, kLinkedLock, kDangling, kFifo, kHuge, kNearlyFull, kHeldLock, kDiskFull };

// A full disk, as this process sees it: writing a file past `bytes` fails with
// EFBIG (SIGXFSZ is ignored so the write returns instead of killing the test).
struct FileSizeLimit {
  explicit FileSizeLimit(rlim_t bytes) : oldHandler(signal(SIGXFSZ, SIG_IGN)) {
    getrlimit(RLIMIT_FSIZE, &old);
    const rlimit limited{bytes, old.rlim_max};
    setrlimit(RLIMIT_FSIZE, &limited);
  }
  ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &old), signal(SIGXFSZ, oldHandler); }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  rlimit old{};
  sighandler_t oldHandler;
};

TEST(RegistryFile, WhatLiesAtItsPlaceIsReadRefusedOrSavedSafely) {
  // What lies there, the App Path in the file, the codes of reading it and of storing "ProductID", and part of
  // the store's reason ("" when nothing is refused).
  // clang-format off
  const std::tuple<Kind, std::string, long, long, std::string> rows[] = {
      {kFile, kUtf8, Reg::Success, Reg::Success, ""},
      {kFile, "/home/\xC5ukasz", Reg::RegistryCorrupt, Reg::RegistryCorrupt, "line 4: bytes that are not UTF-8"},
      {kReadOnly, kUtf8, Reg::Success, Reg::AccessDenied, "read-only"}, {kLink, kUtf8, Reg::Success, Reg::Success, ""},
      {kDangling, kUtf8, Reg::FileNotFound, Reg::CantWrite, "a symbolic link whose target cannot be"},
      {kLinkedLock, kUtf8, Reg::Success, Reg::CantWrite, "the lock file is a symbolic link"},
      {kFifo, kUtf8, Reg::BadDb, Reg::BadDb, "not a regular file"}, {kHuge, kUtf8, Reg::BadDb, Reg::BadDb, "64 MiB"},
      {kNearlyFull, kUtf8, Reg::Success, Reg::AccessDenied, "past the registry file's limit of 64 MiB"},
      {kHeldLock, kUtf8, Reg::Success, Reg::AccessDenied, "held by another program for 200 ms"}, {kDiskFull, kUtf8, Reg::Success, Reg::CantWrite, "cannot save"}};
  // clang-format on
  for (const auto& [kind, folder, readRc, writeRc, reason] : rows) {
    SCOPED_TRACE(std::to_string(kind) + reason);
    TempDir dir;
    const std::string path = dir.File("registry.reg"), target = dir.File("target.reg");
    const std::string text =
        WithAppPath(folder) +
        (kind == kNearlyFull ? "\"pad\"=\"" + std::string((64 << 20) - WithAppPath(folder).size() - 20, 'p') + "\"\n"
                             : "");
    WriteFileBytes(kind == kLink ? target : kind == kDangling ? dir.File("unused") : path, text);
    ASSERT_EQ(kind == kReadOnly     ? chmod(path.c_str(), 0400)
              : kind == kLink       ? symlink("target.reg", path.c_str())
              : kind == kDangling   ? symlink("gone/registry.reg", path.c_str())
              : kind == kLinkedLock ? symlink(dir.File("elsewhere").c_str(), (path + ".lock").c_str())
              : kind == kFifo       ? (unlink(path.c_str()), mkfifo(path.c_str(), 0600))
              : kind == kHuge       ? truncate(path.c_str(), (off_t{64} << 20) + 1)
                                    : 0,
              0);
    const UniqueFd held(kind == kHeldLock ? open((path + ".lock").c_str(), O_RDWR | O_CREAT, 0600) : -1);
    if (held.Valid()) {
      ASSERT_EQ(flock(held.Get(), LOCK_EX), 0);
    }
    FileRegistryApi api(path);
    api.Store().SetLockWait(std::chrono::milliseconds(200));
    // While a change waits, the program goes on: a read it makes then is
    // served, a change it asks for is refused rather than nested.
    std::string meanwhile;
    api.Store().SetWhileWaiting([&] {
      if (!meanwhile.empty()) return;
      RegHandle nested = 0;
      long change = api.CreateKeyEx(Reg::CurrentUser, kMain, Reg::KeyWrite, &nested, nullptr);
      if (change == Reg::Success) change = WriteStored(api, nested, "Other", Reg::Sz, BytesZ("a"));
      api.CloseKey(nested);
      meanwhile =
          std::to_string(ReadStoredAt(api, Reg::CurrentUser, kMain, "App Path").rc) + " " + std::to_string(change);
    });
    const StoredValue app = ReadStoredAt(api, Reg::CurrentUser, kMain, "App Path");
    EXPECT_EQ(std::make_pair(app.rc, app.data),
              std::make_pair(readRc, app.rc == Reg::Success ? BytesZ(kUtf8) : Bytes("")));
    std::string why = api.Store().LastError();
    RegHandle key = 0;
    long rc = api.CreateKeyEx(Reg::CurrentUser, kMain, Reg::KeyWrite, &key, nullptr);
    if (rc == Reg::Success) {
      std::optional<FileSizeLimit> full;
      if (kind == kDiskFull) full.emplace(text.size());
      rc = WriteStored(api, key, "ProductID", Reg::Binary, {0xd5, 0xc0});
      api.CloseKey(key);
    }
    EXPECT_EQ(rc, writeRc);
    EXPECT_EQ(meanwhile, kind == kHeldLock ? "0 " + std::to_string(Reg::AccessDenied) : "");
    if (why.empty()) why = api.Store().LastError();
    EXPECT_TRUE(why.empty() == reason.empty() && why.find(reason) != std::string::npos) << why;
    EXPECT_TRUE(why.empty() || why.rfind(dir.Native(), 0) == 0) << "the reason names the file: " << why;
    EXPECT_TRUE((kind >= kDangling && kind <= kHuge) || writeRc == Reg::Success || ReadFileBytes(path) == text)
        << "kept as it was";
    EXPECT_TRUE(writeRc != Reg::Success ||
                ReadFileBytes(kind == kLink ? target : path).find("\"ProductID\"=hex:d5,c0") != std::string::npos)
        << "saved, through a link to its target";
    EXPECT_TRUE(TempFiles(dir.Native()) == 0 && !std::filesystem::exists(dir.File("elsewhere")))
        << "a linked lock is not followed";
  }
}

// A writer killed at any moment, while another writes, loses nothing and
// leaves a whole file; the next save clears its leftovers.
TEST(RegistryFileProcesses, KeepEveryWriteAndSurviveAKilledWriter) {
  TempDir dir;
  const std::string path = dir.File("registry.reg"), sub = "Software\\Test";
  const auto big = [](std::uint8_t n) { return std::vector<std::uint8_t>(65536 + n, n); };  // torn or mixed shows
  FileRegistryApi api(path);
  const RegHandle key = MustCreate(api, Reg::CurrentUser, sub);
  for (int round = 0, status = 0; round < 20; ++round) {
    const pid_t killed = fork();
    if (killed == 0) {  // another process rewrites one big value until killed
      FileRegistryApi other(path);
      const RegHandle theirs = MustCreate(other, Reg::CurrentUser, sub);
      for (std::uint8_t i = 0;; ++i) WriteStored(other, theirs, "big", Reg::Binary, big(i));
    }
    for (int n = round * 30; n < round * 30 + 30; ++n)
      EXPECT_EQ(WriteStored(api, key, std::to_string(n), Reg::Binary, Bytes("x")), Reg::Success);
    kill(killed, SIGKILL);
    ASSERT_EQ(waitpid(killed, &status, 0), killed);
    for (int n = 0; n < round * 30 + 30; ++n)
      ASSERT_EQ(ReadStored(api, key, std::to_string(n)).rc, Reg::Success) << n << " was lost";
    const StoredValue v = ReadStored(api, key, "big");
    ASSERT_TRUE(v.rc == Reg::FileNotFound || (!v.data.empty() && v.data == big(v.data[0]))) << round << ": torn";
    ASSERT_EQ(WriteStored(api, key, "after", Reg::Dword, {1, 0, 0, 0}), Reg::Success);
    ASSERT_EQ(TempFiles(dir.Native()), 0) << round << ": the next save leaves no leftovers";
  }
  api.CloseKey(key);
}

}  // namespace
