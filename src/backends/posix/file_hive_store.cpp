#include "backends/posix/file_hive_store.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>

#include "backends/common/registry_file_format.hpp"
#include "backends/posix/system_calls.hpp"
#include "support/diagnostics.hpp"

namespace {
// Larger files are not the registry: a sane limit keeps a huge or endless
// file from being read for ever.
constexpr std::size_t kMaxFileSize = std::size_t{64} << 20;

std::string DirName(const std::string& path) {
  const std::size_t p = path.rfind('/');
  if (p == std::string::npos) return ".";
  if (p == 0) return "/";
  return path.substr(0, p);
}

// Takes the exclusive lock of fd's open file within wait: 0, ETIMEDOUT, or
// the error of flock. The blocking flock is queued fairly by the kernel,
// where polling would lose to writers that take the lock again at once; it
// waits on a thread of its own, which, when the caller gave up, releases
// the lock it finally gets. Meanwhile the caller's whileWaiting (if any)
// runs every few milliseconds.
int LockWithin(int fd, std::chrono::milliseconds wait, const std::function<void()>& whileWaiting) {
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) return 0;
  if (errno != EWOULDBLOCK && errno != EINTR) return errno;
  struct Waiter {
    std::mutex m;
    std::condition_variable cv;
    bool done = false, abandoned = false;
    int error = 0;
  };
  const auto waiter = std::make_shared<Waiter>();
  // The duplicate shares the open file, so its lock is the caller's.
  UniqueFd shared(fcntl(fd, F_DUPFD_CLOEXEC, 0));
  if (!shared.Valid()) return errno;
  std::thread([waiter, shared = std::move(shared)]() mutable {
    int rc;
    while ((rc = flock(shared.Get(), LOCK_EX)) != 0 && errno == EINTR) {
    }
    const int error = rc ? errno : 0;
    const std::lock_guard hold(waiter->m);
    if (waiter->abandoned) {
      if (rc == 0) flock(shared.Get(), LOCK_UN);
      return;
    }
    waiter->done = true;
    waiter->error = error;
    waiter->cv.notify_one();
  }).detach();
  const auto until = std::chrono::steady_clock::now() + wait;
  std::unique_lock hold(waiter->m);
  for (;;) {
    const auto next = std::min(until, std::chrono::steady_clock::now() + std::chrono::milliseconds(15));
    if (waiter->cv.wait_until(hold, next, [&] { return waiter->done; })) return waiter->error;
    if (next == until) break;
    if (whileWaiting) {
      hold.unlock();
      whileWaiting();
      hold.lock();
    }
  }
  waiter->abandoned = true;
  return ETIMEDOUT;
}

std::string BaseName(const std::string& path) {
  const std::size_t p = path.rfind('/');
  return p == std::string::npos ? path : path.substr(p + 1);
}

// Creates a folder and its parents, private to the user.
bool MakeDirs(const std::string& dir) {
  struct stat st {};
  if (stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  const std::string parent = DirName(dir);
  if (parent != dir && !MakeDirs(parent)) return false;
  return mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Reads to the end, stopping as soon as there is more than limit bytes.
bool ReadAll(int fd, std::size_t limit, std::string* out) {
  char buf[65536];
  while (out->size() <= limit) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return true;
    out->append(buf, static_cast<std::size_t>(n));
  }
  return true;
}

std::string Reason(const std::string& path, const std::string& why) { return path + ": " + why; }
std::string SystemReason(const std::string& path, const std::string& what) {
  return Reason(path, what + ": " + std::strerror(errno));
}

// Whether the user may change the file. The owner's own write permission
// decides for the owner, even for the administrator: saving replaces the
// file through its folder, so the file's mode would otherwise never count.
bool UserMayWrite(const std::string& path, const struct stat& st) {
  if (st.st_uid == geteuid()) return (st.st_mode & S_IWUSR) != 0;
  return faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}
}  // namespace

FileHiveStore::FileHiveStore(std::string path) : path_(std::move(path)), lockPath_(path_ + ".lock") {}

std::string FileHiveStore::Source() const {
  struct stat st {};
  if (!lastError_.empty()) return "the registry file " + path_ + ", which cannot be used: " + lastError_;
  if (lstat(path_.c_str(), &st) != 0)
    return "the registry file " + path_ + ", which does not exist (Larkspire's installer writes it)";
  return "the registry file " + path_;
}

FileHiveStore::~FileHiveStore() { Unlock(); }

std::string FileHiveStore::DefaultPath() { return UserFolderPath(UserFolder::Config) + "/larkspire/registry.reg"; }

namespace {
// How long a file must have stood still before its times tell it unchanged:
// above any file system's clock tick (two seconds on FAT).
constexpr std::time_t kSettledSeconds = 3;

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
         a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}
}  // namespace

long FileHiveStore::Load() {
  // Not blocking: a pipe in the file's place must not hold the program up.
  UniqueFd fd(open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (!fd.Valid()) {
    if (errno != ENOENT) {
      lastError_ = SystemReason(path_, "cannot open");
      return Reg::BadDb;
    }
    // No file yet: an empty registry.
    if (existed_ || !loaded_) hive_ = RegistryHive(TextCodePage::Utf8);
    existed_ = false;
    loaded_ = true;
    corrupt_ = false;
    corruptReason_.clear();
    readOnly_ = false;
    lastError_.clear();
    return Reg::Success;
  }
  struct stat st {};
  if (fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) || static_cast<std::uintmax_t>(st.st_size) > kMaxFileSize) {
    const bool regular = S_ISREG(st.st_mode);
    lastError_ = Reason(path_, regular ? "larger than the registry file's limit of 64 MiB"
                                       : "not a regular file (a folder, device or pipe)");
    return Reg::BadDb;
  }
  readOnly_ = !UserMayWrite(path_, st);
  if (loaded_ && existed_ && seenSettled_ && SameFile(st, seen_)) {
    lastError_ = corruptReason_;
    return corrupt_ ? Reg::RegistryCorrupt : Reg::Success;
  }
  std::string text;
  const bool ok = ReadAll(fd.Get(), kMaxFileSize, &text);
  const int readErrno = errno;
  fd.Reset();
  if (!ok || text.size() > kMaxFileSize) {
    errno = readErrno;
    lastError_ =
        ok ? Reason(path_, "larger than the registry file's limit of 64 MiB") : SystemReason(path_, "cannot read");
    loaded_ = false;
    return Reg::BadDb;
  }
  // A file is taken as unchanged by its identity, size and times only once
  // it had stood still for a while before it was read: any later change
  // gives it a later change time. A file changed just before it was read may
  // be replaced within the same tick of the file system's clock, keeping its
  // inode number, size and times, so only its contents tell.
  seen_ = st;
  seenSettled_ = std::time(nullptr) - st.st_ctim.tv_sec >= kSettledSeconds;
  if (loaded_ && existed_ && text == text_) {
    lastError_ = corruptReason_;
    return corrupt_ ? Reg::RegistryCorrupt : Reg::Success;
  }
  text_ = std::move(text);
  existed_ = true;
  loaded_ = true;
  RegistryHive parsed(TextCodePage::Utf8);
  std::string why;
  if (!ParseRegistryFile(text_, &parsed, &why)) {
    corrupt_ = true;
    corruptReason_ = lastError_ = Reason(path_, why);
    return Reg::RegistryCorrupt;
  }
  corrupt_ = false;
  corruptReason_.clear();
  lastError_.clear();
  hive_ = std::move(parsed);
  return Reg::Success;
}

long FileHiveStore::SaveTarget(std::string* target) {
  struct stat st {};
  if (lstat(path_.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
    *target = path_;
    return Reg::Success;
  }
  // A link is saved through, as editors do: the new file replaces the
  // link's target and the link stays.
  char* real = realpath(path_.c_str(), nullptr);
  if (!real) {
    lastError_ = SystemReason(path_, "a symbolic link whose target cannot be saved");
    return Reg::CantWrite;
  }
  *target = real;
  std::free(real);
  return Reg::Success;
}

long FileHiveStore::Save() {
  const std::string& target = saveTarget_;
  const std::string dir = DirName(target);
  const std::string text = SerializeRegistryFile(hive_);
  // A file this store could not read back would lose the whole registry.
  if (text.size() > kMaxFileSize) {
    lastError_ =
        Reason(target, "the change would grow it past the registry file's limit of 64 MiB; it is kept as it was");
    loaded_ = false;
    return Reg::AccessDenied;
  }
  std::string tmpl = dir + "/." + BaseName(target) + ".tmp.XXXXXX";
  UniqueFd fd(mkostemp(tmpl.data(), O_CLOEXEC));
  if (!fd.Valid()) {
    lastError_ = SystemReason(target, "cannot save");
    loaded_ = false;
    return Reg::CantWrite;
  }
  fchmod(fd.Get(), 0600);
  const bool written = WriteAll(fd.Get(), text) && fsync(fd.Get()) == 0;
  if (!fd.Close() || !written || rename(tmpl.c_str(), target.c_str()) != 0) {
    lastError_ = SystemReason(target, "cannot save");
    unlink(tmpl.c_str());
    loaded_ = false;  // reload from disk: the change did not happen
    return Reg::CantWrite;
  }
  // Make the rename itself durable.
  if (const UniqueFd folder(open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)); folder.Valid()) fsync(folder.Get());
  // Remember the new file so the next call need not parse it again.
  text_ = text;
  existed_ = true;
  return Reg::Success;
}

void FileHiveStore::Unlock() {
  if (lockFd_.Valid()) flock(lockFd_.Get(), LOCK_UN);
  lockFd_.Reset();
}

long FileHiveStore::Lock() {
  if (!MakeDirs(DirName(path_))) {
    lastError_ = SystemReason(DirName(path_), "cannot make the folder");
    return Reg::CantWrite;
  }
  // Never through a link: a planted one could make the lock create or lock
  // a file anywhere the user may write.
  lockFd_.Reset(open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0600));
  const bool opened = lockFd_.Valid();
  struct stat st {};
  if (!opened || fstat(lockFd_.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    // A folder the user may not write in makes the registry read-only.
    const bool denied = !opened && (errno == EACCES || errno == EPERM || errno == EROFS);
    lastError_ = !opened && errno == ELOOP ? Reason(lockPath_, "the lock file is a symbolic link")
                 : !opened                 ? SystemReason(lockPath_, "cannot open the lock file")
                                           : Reason(lockPath_, "the lock file is not a regular file");
    Unlock();
    return denied ? Reg::AccessDenied : Reg::CantWrite;
  }
  waiting_ = true;
  const int error = LockWithin(lockFd_.Get(), lockWait_, whileWaiting_);
  waiting_ = false;
  if (error) {
    const bool held = error == ETIMEDOUT;
    errno = error;
    lastError_ = held ? Reason(lockPath_, "held by another program for " + std::to_string(lockWait_.count()) +
                                              " ms; the change is not made")
                      : SystemReason(lockPath_, "cannot lock");
    // Closing our descriptor leaves the waiting thread's, which lets go.
    Unlock();
    return held ? Reg::AccessDenied : Reg::CantWrite;
  }
  if (const long rc = SaveTarget(&saveTarget_)) {
    Unlock();
    return rc;
  }
  // Temporary files left by a writer that died are stale now.
  const std::string dir = DirName(saveTarget_);
  const std::string prefix = "." + BaseName(saveTarget_) + ".tmp.";
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d))
      if (std::string_view(e->d_name).substr(0, prefix.size()) == prefix) unlink((dir + "/" + e->d_name).c_str());
    closedir(d);
  }
  return Reg::Success;
}

long FileHiveStore::Begin(bool forWrite, RegistryHive** hive) {
  const long rc = Open(forWrite, hive);
  if (rc != Reg::Success) ReportFailure();
  return rc;
}

void FileHiveStore::ReportFailure() {
  // Once per reason: the wizard reads many values from a file it cannot use.
  if (lastError_.empty() || lastError_ == lastReported_) return;
  lastReported_ = lastError_;
  LogFailure(LogArea::Registry, lastError_);
}

long FileHiveStore::Open(bool forWrite, RegistryHive** hive) {
  if (forWrite && waiting_) {
    // A change asked for by what ran while another waits: the lock and the
    // hive are that one's until it is done.
    lastError_ = Reason(path_, "another change is waiting for the lock; this one is not made");
    return Reg::AccessDenied;
  }
  if (forWrite) {
    if (const long rc = Lock()) return rc;
  }
  // Saves replace the file atomically, so a reader always sees a whole file
  // and needs no lock.
  const long rc = Load();
  if (rc != Reg::Success) {
    Unlock();
    return rc;
  }
  if (forWrite && readOnly_) {
    lastError_ = Reason(path_, "the file is read-only; nothing is written to it");
    Unlock();
    return Reg::AccessDenied;
  }
  *hive = &hive_;
  return Reg::Success;
}

long FileHiveStore::End(bool commit) {
  long rc = Reg::Success;
  if (lockFd_.Valid()) {
    if (commit)
      rc = Save();
    else
      loaded_ = false;  // an abandoned change must not linger in the cache
    Unlock();
  }
  if (rc != Reg::Success) ReportFailure();
  return rc;
}
