#include "staged_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "publish_error.hpp"

namespace {
[[noreturn]] void Fail(const std::string& what, const std::filesystem::path& path) {
  WriteFailed(what + " " + path.string() + ": " + std::strerror(errno));
}

void SyncFolder(const std::filesystem::path& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);  // best effort: the rename is done either way
  close(fd);
}
}  // namespace

StagedFile::StagedFile(std::filesystem::path finalPath) : final_(std::move(finalPath)) {
  std::string tmpl = (final_.parent_path() / ("." + final_.filename().string() + ".XXXXXX")).string();
  fd_ = mkostemp(tmpl.data(), O_CLOEXEC);
  if (fd_ < 0) Fail("cannot create a file in", final_.parent_path());
  temp_ = tmpl;
}

StagedFile::~StagedFile() {
  if (fd_ >= 0) close(fd_);
  if (!committed_) unlink(temp_.c_str());
}

void StagedFile::Write(const std::uint8_t* data, std::size_t n) {
  while (n > 0) {
    const ssize_t w = write(fd_, data, n);
    if (w < 0 && errno == EINTR) continue;
    if (w < 0) Fail("cannot write", temp_);
    data += w;
    n -= static_cast<std::size_t>(w);
  }
}

void StagedFile::Write(std::string_view bytes) {
  Write(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

void StagedFile::Finish() {
  if (fchmod(fd_, 0644) != 0 || fsync(fd_) != 0) Fail("cannot finish", temp_);
  const int fd = fd_;
  fd_ = -1;
  if (close(fd) != 0) Fail("cannot finish", temp_);
}

void StagedFile::Commit() {
  if (rename(temp_.c_str(), final_.c_str()) != 0) Fail("cannot move into place", final_);
  committed_ = true;
  SyncFolder(final_.parent_path());
}
