#include "platform/posix/file_hive_store.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/common/registry_file_format.hpp"

namespace {
std::string DirName(const std::string& path) {
  const std::size_t p = path.rfind('/');
  if (p == std::string::npos) return ".";
  if (p == 0) return "/";
  return path.substr(0, p);
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

bool ReadAll(int fd, std::string* out) {
  char buf[65536];
  while (true) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return true;
    out->append(buf, static_cast<std::size_t>(n));
  }
}
}  // namespace

FileHiveStore::FileHiveStore(std::string path) : path_(std::move(path)), lockPath_(path_ + ".lock") {}

FileHiveStore::~FileHiveStore() { Unlock(); }

std::string FileHiveStore::DefaultPath() {
  std::string base;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home && *home ? home : ".") + "/.config";
  }
  return base + "/larkspire/registry.reg";
}

long FileHiveStore::Load() {
  const int fd = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno != ENOENT) {
      lastError_ = std::string("cannot open: ") + std::strerror(errno);
      return Reg::BadDb;
    }
    // No file yet: an empty registry.
    if (existed_ || !loaded_) hive_ = RegistryHive();
    existed_ = false;
    loaded_ = true;
    corrupt_ = false;
    lastError_.clear();
    return Reg::Success;
  }
  std::string text;
  const bool ok = ReadAll(fd, &text);
  close(fd);
  if (!ok) {
    lastError_ = std::string("cannot read: ") + std::strerror(errno);
    return Reg::BadDb;
  }
  // Only the contents tell whether the file changed: a file replaced within
  // one tick of the file system's clock may keep its inode number, size and
  // time, and trusting those would bring back what another process replaced.
  if (loaded_ && existed_ && text == text_) return corrupt_ ? Reg::RegistryCorrupt : Reg::Success;
  text_ = std::move(text);
  existed_ = true;
  loaded_ = true;
  RegistryHive parsed;
  std::string why;
  if (!ParseRegistryFile(text_, &parsed, &why)) {
    corrupt_ = true;
    lastError_ = path_ + ": " + why;
    return Reg::RegistryCorrupt;
  }
  corrupt_ = false;
  lastError_.clear();
  hive_ = std::move(parsed);
  return Reg::Success;
}

long FileHiveStore::Save() {
  const std::string dir = DirName(path_);
  const std::string text = SerializeRegistryFile(hive_);
  std::string tmpl = dir + "/." + BaseName(path_) + ".tmp.XXXXXX";
  const int fd = mkostemp(tmpl.data(), O_CLOEXEC);
  if (fd < 0) return Reg::CantWrite;
  fchmod(fd, 0600);
  const bool written = WriteAll(fd, text) && fsync(fd) == 0;
  if (close(fd) != 0 || !written || rename(tmpl.c_str(), path_.c_str()) != 0) {
    unlink(tmpl.c_str());
    loaded_ = false;  // reload from disk: the change did not happen
    return Reg::CantWrite;
  }
  // Make the rename itself durable.
  if (const int dfd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dfd >= 0) {
    fsync(dfd);
    close(dfd);
  }
  // Remember the new file so the next call need not parse it again.
  text_ = text;
  existed_ = true;
  return Reg::Success;
}

void FileHiveStore::Unlock() {
  if (lockFd_ >= 0) {
    flock(lockFd_, LOCK_UN);
    close(lockFd_);
    lockFd_ = -1;
  }
}

long FileHiveStore::Begin(bool forWrite, RegistryHive** hive) {
  if (forWrite) {
    if (!MakeDirs(DirName(path_))) return Reg::CantWrite;
    lockFd_ = open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd_ < 0) return Reg::CantWrite;
    while (flock(lockFd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        Unlock();
        return Reg::CantWrite;
      }
    }
    // Temporary files left by a writer that died are stale now.
    const std::string prefix = "." + BaseName(path_) + ".tmp.";
    if (DIR* d = opendir(DirName(path_).c_str())) {
      while (dirent* e = readdir(d))
        if (std::string_view(e->d_name).substr(0, prefix.size()) == prefix)
          unlink((DirName(path_) + "/" + e->d_name).c_str());
      closedir(d);
    }
  }
  // Saves replace the file atomically, so a reader always sees a whole file
  // and needs no lock.
  const long rc = Load();
  if (rc != Reg::Success) {
    Unlock();
    return rc;
  }
  *hive = &hive_;
  return Reg::Success;
}

long FileHiveStore::End(bool commit) {
  long rc = Reg::Success;
  if (lockFd_ >= 0) {
    if (commit)
      rc = Save();
    else
      loaded_ = false;  // an abandoned change must not linger in the cache
    Unlock();
  }
  return rc;
}
