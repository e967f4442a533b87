#pragma once
// The per-user registry file. Each change is made under an exclusive
// advisory lock on a companion lock file, against the file's latest
// contents, and saved atomically (temporary file, flush, rename), so two
// processes never lose each other's writes and a crash leaves either the old
// or the new file. A file that cannot be parsed is never overwritten: every
// call fails with RegistryCorrupt until it is repaired. Names and texts are
// UTF-8. A file the user may not write is read-only: changes fail with
// AccessDenied. A symbolic link in the file's place is saved through to its
// target; the lock file is never followed through a link. Anything but a
// regular file of at most 64 MiB is refused (BadDb) without being read.
// A change waits a few seconds at most for a lock another process holds;
// then it is not made (AccessDenied), as for a read-only file. While it
// waits, the owner's whileWaiting runs every few milliseconds (the program
// keeps its window alive); a read made from there is served, a change is
// refused (AccessDenied) rather than nested in the waiting one.
// A call on a file that has not changed since it was last read does not
// read it again: its identity, size and times tell, once it had stood still
// for a few seconds before that reading; a file changed just before is
// compared by its contents.
#include <sys/stat.h>

#include <chrono>
#include <functional>
#include <string>

#include "backends/common/registry_tree.hpp"
#include "backends/posix/unique_fd.hpp"

class FileHiveStore : public IHiveStore {
 public:
  explicit FileHiveStore(std::string path);
  ~FileHiveStore() override;

  long Begin(bool forWrite, RegistryHive** hive) override;
  long End(bool commit) override;
  TextCodePage CodePage() const override { return TextCodePage::Utf8; }
  // "the registry file PATH", and why it cannot be used when it cannot,
  // or that it does not exist.
  std::string Source() const override;

  const std::string& Path() const { return path_; }
  // Why the file was last refused, with its path and, for a file that cannot
  // be parsed, the line ("" when it was not).
  const std::string& LastError() const { return lastError_; }

  // How long a change waits for the lock (5 s).
  void SetLockWait(std::chrono::milliseconds wait) { lockWait_ = wait; }
  // What runs every few milliseconds while a change waits for the lock.
  void SetWhileWaiting(std::function<void()> whileWaiting) { whileWaiting_ = std::move(whileWaiting); }

  // $XDG_CONFIG_HOME/larkspire/registry.reg, or ~/.config/... without it.
  static std::string DefaultPath();

 private:
  long Load();
  long Lock();
  long SaveTarget(std::string* target);
  long Save();
  void Unlock();
  long Open(bool forWrite, RegistryHive** hive);
  // Writes the reason of a failure to the log, once for each reason.
  void ReportFailure();

  std::string path_;
  std::string lockPath_;
  UniqueFd lockFd_;
  std::chrono::milliseconds lockWait_{5000};
  std::function<void()> whileWaiting_;
  bool waiting_ = false;  // a change is waiting for the lock
  // Where saves go: the file, or the target of the link in its place.
  std::string saveTarget_;
  RegistryHive hive_{TextCodePage::Utf8};
  bool loaded_ = false;
  bool corrupt_ = false;
  bool readOnly_ = false;
  // The text the cached hive came from, and what the file was when it was
  // read: an operation on an unchanged file does not read it again, once it
  // has stood still long enough for its times to tell (seenSettled_).
  std::string text_;
  struct stat seen_ {};
  bool seenSettled_ = false;
  bool existed_ = false;
  std::string lastError_;
  std::string lastReported_;
  // Why the cached text could not be parsed.
  std::string corruptReason_;
};

// TreeRegistryApi over the per-user registry file.
class FileRegistryApi : public TreeRegistryApi {
 public:
  explicit FileRegistryApi(std::string path = FileHiveStore::DefaultPath())
      : TreeRegistryApi(store_), store_(std::move(path)) {}
  FileHiveStore& Store() { return store_; }

 private:
  FileHiveStore store_;
};
