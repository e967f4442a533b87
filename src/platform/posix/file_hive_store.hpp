#pragma once
// The per-user registry file. Each change is made under an exclusive
// advisory lock on a companion lock file, against the file's latest
// contents, and saved atomically (temporary file, flush, rename), so two
// processes never lose each other's writes and a crash leaves either the old
// or the new file. A file that cannot be parsed is never overwritten: every
// call fails with RegistryCorrupt until it is repaired.
#include <string>

#include "platform/common/registry_tree.hpp"

class FileHiveStore : public IHiveStore {
 public:
  explicit FileHiveStore(std::string path);
  ~FileHiveStore() override;

  long Begin(bool forWrite, RegistryHive** hive) override;
  long End(bool commit) override;

  const std::string& Path() const { return path_; }
  // Why the file was last rejected ("" when it was not).
  const std::string& LastError() const { return lastError_; }

  // $XDG_CONFIG_HOME/larkspire/registry.reg, or ~/.config/... without it.
  static std::string DefaultPath();

 private:
  long Load();
  long Save();
  void Unlock();

  std::string path_;
  std::string lockPath_;
  int lockFd_ = -1;
  RegistryHive hive_;
  bool loaded_ = false;
  bool corrupt_ = false;
  // The text the cached hive came from.
  std::string text_;
  bool existed_ = false;
  std::string lastError_;
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
