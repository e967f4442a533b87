#include "local_files.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "catalog/profile_parser.hpp"
#include "install_state/path_helpers.hpp"
#include "support/runtime_error.hpp"

namespace {
class LocalReader : public IFileReader {
 public:
  LocalReader(int fd, std::int64_t length) : fd_(fd), length_(length) {}
  ~LocalReader() override { close(fd_); }
  std::int64_t Length() const override { return length_; }
  std::size_t Read(std::uint8_t* buffer, std::size_t n) override {
    for (;;) {
      const ssize_t got = read(fd_, buffer, n);
      if (got >= 0) return static_cast<std::size_t>(got);
      if (errno != EINTR) RaiseError(ErrNo::PathFileAccess);
    }
  }

 private:
  int fd_;
  std::int64_t length_;
};
}  // namespace

std::unique_ptr<IFileReader> LocalReadFiles::OpenRead(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) RaiseError(errno == ENOENT ? ErrNo::FileNotFound : ErrNo::PathFileAccess);
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    RaiseError(ErrNo::PathFileAccess);
  }
  return std::make_unique<LocalReader>(fd, static_cast<std::int64_t>(st.st_size));
}

std::int32_t LocalReadFiles::GetAttr(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) RaiseError(ErrNo::FileNotFound);
  return S_ISDIR(st.st_mode) ? Attr::Directory : Attr::Normal;
}

void LocalReadFiles::WriteFile(const std::string&, const std::vector<std::uint8_t>&) {
  RaiseError(ErrNo::PathFileAccess);
}
void LocalReadFiles::SetAttr(const std::string&, std::int32_t) { RaiseError(ErrNo::PathFileAccess); }
void LocalReadFiles::Kill(const std::string&) { RaiseError(ErrNo::PathFileAccess); }
void LocalReadFiles::FileCopy(const std::string&, const std::string&) { RaiseError(ErrNo::PathFileAccess); }
void LocalReadFiles::RenameNew(const std::string&, const std::string&) { RaiseError(ErrNo::PathFileAccess); }

std::string ReadLocalFile(IFileSystem& files, const std::string& path) {
  return ReadFileUpTo(files, path, kMaxProfileBytes + 1);
}
