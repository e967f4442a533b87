#include "backends/posix/file_system.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "backends/posix/system_calls.hpp"
#include "backends/posix/unique_fd.hpp"
#include "support/diagnostics.hpp"
#include "support/runtime_error.hpp"

namespace {
// Hidden, system and archive have no Linux counterpart; they are kept in an
// extended attribute where the file system has them.
constexpr const char* kAttrName = "user.larkspire.attributes";
constexpr std::int32_t kStoredBits = Attr::Hidden | Attr::System | Attr::Archive;

bool ParentExists(const std::string& native) {
  const std::size_t p = native.rfind('/');
  if (p == std::string::npos) return true;
  const std::string parent = p == 0 ? "/" : native.substr(0, p);
  struct stat st {};
  return stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

[[noreturn]] void RaiseErrno(int err, const std::string& native) {
  switch (err) {
    case ENOENT:
      RaiseError(ParentExists(native) ? ErrNo::FileNotFound : ErrNo::PathNotFound);
    case ENOTDIR:
    case ENAMETOOLONG:
      RaiseError(ErrNo::PathNotFound);
    case ENOSPC:
    case EDQUOT:
      RaiseError(ErrNo::DiskFull);
    case EACCES:
    case EPERM:
      RaiseError(ErrNo::PermissionDenied);
    case EEXIST:
      RaiseError(ErrNo::FileAlreadyExists);
    default:
      // The system's own words say more than the general error does
      // ("Read-only file system", "Too many levels of symbolic links").
      throw RuntimeError(ErrNo::PathFileAccess,
                         ErrorDescription(ErrNo::PathFileAccess) + " (" + std::strerror(err) + ")");
  }
}

std::string Native(const std::string& path) {
  std::string n = PosixFileSystem::ToNative(path);
  if (n.empty()) RaiseError(ErrNo::PathNotFound);
  return n;
}

class PosixReader : public IFileReader {
 public:
  PosixReader(UniqueFd fd, std::int64_t length) : fd_(std::move(fd)), length_(length) {}
  std::int64_t Length() const override { return length_; }
  std::size_t Read(std::uint8_t* buffer, std::size_t n) override {
    while (true) {
      const ssize_t got = read(fd_.Get(), buffer, n);
      if (got >= 0) return static_cast<std::size_t>(got);
      if (errno != EINTR) RaiseError(ErrNo::PathFileAccess);
    }
  }

 private:
  UniqueFd fd_;
  std::int64_t length_;
};

bool WriteAll(int fd, const std::uint8_t* data, std::size_t n) {
  while (n > 0) {
    const ssize_t w = write(fd, data, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

bool IsReadOnly(const struct stat& st) { return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0; }
}  // namespace

std::string PosixFileSystem::ToNative(const std::string& path) {
  std::string p = path;
  for (char& c : p)
    if (c == '\\') c = '/';
  if (p.size() >= 2 && p[1] == ':' && std::isalpha(static_cast<unsigned char>(p[0]))) {
    if (p[0] != 'Z' && p[0] != 'z') return "";
    p = p.substr(2);
    if (p.empty() || p[0] != '/') p = "/" + p;
  }
  return p;
}

std::string PosixFileSystem::FromNative(const std::string& native) {
  std::string p = native;
  for (char& c : p)
    if (c == '/') c = '\\';
  return native.empty() || native[0] != '/' ? p : "Z:" + p;
}

std::string PosixFileSystem::NativePath(const std::string& path) { return ToNative(path); }

namespace {
// Why another user could change the entry at native (one step of the walk
// up), or "" when only this user or root can.
std::string WhyOthersCanChange(const std::string& native) {
  struct stat st {};
  if (lstat(native.c_str(), &st) != 0) return "cannot tell who may change " + native + ": " + std::strerror(errno);
  // A link cannot be changed, only replaced, which its folder governs; where
  // it leads is walked on its own.
  if (S_ISLNK(st.st_mode)) return "";
  if (st.st_uid != geteuid() && st.st_uid != 0)
    return native + " belongs to another user (uid " + std::to_string(st.st_uid) + ")";
  const bool sticky = S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX);
  if ((st.st_mode & S_IWOTH) && !sticky) return native + " can be written by every user";
  if ((st.st_mode & S_IWGRP) && !sticky) return native + " can be written by its group";
  return "";
}

std::string WhyOthersCanChangeAlong(std::string native) {
  while (native.size() > 1 && native.back() == '/') native.pop_back();
  for (;;) {
    if (std::string why = WhyOthersCanChange(native); !why.empty()) return why;
    const std::size_t slash = native.rfind('/');
    if (slash == std::string::npos || native == "/") return "";
    native = slash == 0 ? "/" : native.substr(0, slash);
  }
}
}  // namespace

std::string PosixFileSystem::FileIdentity(const std::string& path) {
  const std::string native = ToNative(path);
  struct stat st {};
  if (native.empty() || stat(native.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return "";
  char text[160];
  std::snprintf(text, sizeof text, "%llu:%llu:%lld:%lld.%09ld:%lld.%09ld", static_cast<unsigned long long>(st.st_dev),
                static_cast<unsigned long long>(st.st_ino), static_cast<long long>(st.st_size),
                static_cast<long long>(st.st_mtim.tv_sec), st.st_mtim.tv_nsec,
                static_cast<long long>(st.st_ctim.tv_sec), st.st_ctim.tv_nsec);
  return text;
}

std::string PosixFileSystem::OthersCanChange(const std::string& path) {
  const std::string native = Native(path);
  if (native.empty() || native[0] != '/') return "cannot tell who may change " + path + ": no absolute path";
  if (std::string why = WhyOthersCanChangeAlong(native); !why.empty()) return why;
  char* real = realpath(native.c_str(), nullptr);
  if (!real) return "cannot tell who may change " + native + ": " + std::strerror(errno);
  const std::string target = real;
  std::free(real);
  return target == native ? "" : WhyOthersCanChangeAlong(target);
}

std::string PosixFileSystem::DefaultProductFolder() {
  const std::string base = UserFolderPath(UserFolder::Data);
  if (base.empty()) return "";
  const std::string folder = base + "/larkspire";
  // Made with its parents, private to the user where it is new.
  for (std::size_t slash = 1; slash != std::string::npos;) {
    slash = folder.find('/', slash + 1);
    const std::string part = folder.substr(0, slash);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      LogFailure(LogArea::Startup, "cannot make the product folder " + part + ": " + std::strerror(errno));
      return "";
    }
  }
  struct stat st {};
  if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    LogFailure(LogArea::Startup, folder + " is not a folder");
    return "";
  }
  return FromNative(folder + "/");
}

std::string PosixFileSystem::GetTempPath() {
  const char* t = std::getenv("TMPDIR");
  std::string dir = t && *t == '/' ? t : "/tmp";
  if (dir.back() != '/') dir += '/';
  return FromNative(dir);
}

std::string PosixFileSystem::GetTempFileName(const std::string& dir, const std::string& prefix) {
  std::string native = ToNative(dir);
  if (native.empty()) return "";
  if (native.back() != '/') native += '/';
  std::string tmpl = native + prefix.substr(0, 3) + "XXXXXX.tmp";
  // mkstemps creates the file exclusively: an existing name or a planted
  // link is never followed.
  if (!UniqueFd(mkstemps(tmpl.data(), 4)).Valid()) return "";
  return FromNative(tmpl);
}

std::unique_ptr<IFileReader> PosixFileSystem::OpenRead(const std::string& path) {
  const std::string native = Native(path);
  UniqueFd fd(open(native.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.Valid()) RaiseErrno(errno, native);
  struct stat st {};
  if (fstat(fd.Get(), &st) != 0 || S_ISDIR(st.st_mode)) RaiseError(ErrNo::PathFileAccess);
  return std::make_unique<PosixReader>(std::move(fd), static_cast<std::int64_t>(st.st_size));
}

void PosixFileSystem::WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  const std::string native = Native(path);
  UniqueFd fd(open(native.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644));
  if (!fd.Valid()) RaiseErrno(errno, native);
  const bool ok = WriteAll(fd.Get(), bytes.data(), bytes.size());
  const int err = errno;
  if (!fd.Close() || !ok) RaiseErrno(ok ? errno : err, native);
}

std::int32_t PosixFileSystem::GetAttr(const std::string& path) {
  const std::string native = Native(path);
  struct stat st {};
  if (stat(native.c_str(), &st) != 0) RaiseErrno(errno, native);
  std::int32_t a = 0;
  if (S_ISDIR(st.st_mode)) a |= Attr::Directory;
  if (IsReadOnly(st)) a |= Attr::ReadOnly;
  unsigned char stored = 0;
  if (ReadAttributeByte(native.c_str(), kAttrName, &stored) == 1) a |= stored & kStoredBits;
  return a;
}

void PosixFileSystem::SetAttr(const std::string& path, std::int32_t attributes) {
  const std::string native = Native(path);
  struct stat st {};
  if (stat(native.c_str(), &st) != 0) RaiseErrno(errno, native);
  mode_t mode = st.st_mode & 07777;
  if (attributes & Attr::ReadOnly)
    mode &= ~(S_IWUSR | S_IWGRP | S_IWOTH);
  else
    mode |= S_IWUSR;
  // A user other than root may change the extended attributes only of a
  // file it may write: they are changed before the file becomes read-only.
  const mode_t writable = mode | S_IWUSR;
  if (writable != (st.st_mode & 07777) && chmod(native.c_str(), writable) != 0) RaiseErrno(errno, native);
  const auto stored = static_cast<unsigned char>(attributes & kStoredBits);
  if (stored)
    WriteAttributeByte(native.c_str(), kAttrName, stored);  // best effort
  else
    RemoveAttribute(native.c_str(), kAttrName);
  if (mode != writable && chmod(native.c_str(), mode) != 0) RaiseErrno(errno, native);
}

void PosixFileSystem::Kill(const std::string& path) {
  const std::string native = Native(path);
  struct stat st {};
  if (lstat(native.c_str(), &st) != 0) RaiseErrno(errno, native);
  // A folder is no file, and a read-only file is protected, as on Windows.
  if (S_ISDIR(st.st_mode)) RaiseError(ErrNo::FileNotFound);
  if (!S_ISLNK(st.st_mode) && IsReadOnly(st)) RaiseError(ErrNo::PathFileAccess);
  if (unlink(native.c_str()) != 0) RaiseErrno(errno, native);
}

void PosixFileSystem::FileCopy(const std::string& source, const std::string& destination) {
  Copy(source, destination, false);
}

void PosixFileSystem::FileCopyNew(const std::string& source, const std::string& destination) {
  Copy(source, destination, true);
}

void PosixFileSystem::Copy(const std::string& source, const std::string& destination, bool exclusive) {
  const std::string from = Native(source);
  const std::string to = Native(destination);
  const UniqueFd in(open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (!in.Valid()) RaiseErrno(errno, from);
  struct stat st {};
  if (fstat(in.Get(), &st) != 0 || S_ISDIR(st.st_mode)) RaiseError(ErrNo::PathFileAccess);
  struct stat dst {};
  if (stat(to.c_str(), &dst) == 0 && (S_ISDIR(dst.st_mode) || IsReadOnly(dst))) RaiseError(ErrNo::PathFileAccess);
  UniqueFd out(open(to.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | (exclusive ? O_EXCL : O_TRUNC), 0644));
  if (!out.Valid()) RaiseErrno(errno, to);
  bool ok = true;
  int err = 0;
  off_t left = st.st_size;
  while (left > 0) {
    const long long n = CopyInKernel(in.Get(), out.Get(), static_cast<std::size_t>(left));
    if (n > 0) {
      left -= n;
      continue;
    }
    if (n == 0) break;
    if (errno == EINTR) continue;
    if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) {
      ok = false;
      err = errno;
    }
    break;
  }
  // Fall back to plain reads for what the kernel would not copy.
  std::vector<std::uint8_t> buf;
  while (ok) {
    if (buf.empty()) buf.resize(1 << 20);
    const ssize_t n = read(in.Get(), buf.data(), buf.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ok = false;
      err = errno;
      break;
    }
    if (n == 0) break;
    if (!WriteAll(out.Get(), buf.data(), static_cast<std::size_t>(n))) {
      ok = false;
      err = errno;
    }
  }
  if (!out.Close() && ok) {
    ok = false;
    err = errno;
  }
  if (!ok) {
    unlink(to.c_str());  // never leave half a copy behind
    RaiseErrno(err, to);
  }
  // The copy carries the source's read-only state, as on Windows.
  if (IsReadOnly(st)) chmod(to.c_str(), 0444);
}

std::string PosixFileSystem::CurDir() {
  char buf[4096];
  if (!getcwd(buf, sizeof buf)) RaiseError(ErrNo::PathNotFound);
  return FromNative(buf);
}

void PosixFileSystem::RenameNew(const std::string& source, const std::string& destination) {
  const std::string from = Native(source);
  const std::string to = Native(destination);
  if (RenameNoReplace(from.c_str(), to.c_str()) == 0) return;
  int err = errno;
  // A file system without the no-replace rename: a hard link is never made
  // over an existing name either.
  if (err == EINVAL || err == ENOSYS || err == EOPNOTSUPP) {
    if (link(from.c_str(), to.c_str()) == 0) {
      unlink(from.c_str());
      return;
    }
    err = errno;
  }
  if (err == EEXIST) RaiseError(ErrNo::FileAlreadyExists);
  RaiseErrno(err, to);
}

std::vector<std::string> PosixFileSystem::RemoveLeftovers(const std::string& dir, const std::string& prefix,
                                                          std::int64_t notAfter) {
  std::vector<std::string> removed;
  std::string native = ToNative(dir);
  if (native.empty()) return removed;
  if (native.back() != '/') native += '/';
  const UniqueFd folder(open(native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  DIR* listing = folder.Valid() ? fdopendir(dup(folder.Get())) : nullptr;
  if (!listing) return removed;
  while (const dirent* entry = readdir(listing)) {
    const std::string name = entry->d_name;
    if (name.size() < prefix.size() + 4 || !name.starts_with(prefix) || !name.ends_with(".tmp")) continue;
    // Only a plain file of this user's: a link, a folder or another user's
    // file in a shared folder is never touched.
    struct stat st {};
    if (fstatat(folder.Get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
        st.st_uid != geteuid() || st.st_mtime >= notAfter)
      continue;
    if (unlinkat(folder.Get(), name.c_str(), 0) == 0) removed.push_back(FromNative(native + name));
  }
  closedir(listing);
  return removed;
}
