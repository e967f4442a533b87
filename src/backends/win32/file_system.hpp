#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.hpp"

// Files through kernel32 (GetTempPathW, GetTempFileNameW, attributes, copy).
// Paths reach the system as UTF-16, so a folder in any script is found.
class Win32FileSystem : public IFileSystem {
 public:
  std::string GetTempPath() override;
  std::string GetTempFileName(const std::string& dir, const std::string& prefix) override;
  std::unique_ptr<IFileReader> OpenRead(const std::string& path) override;
  void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) override;
  std::int32_t GetAttr(const std::string& path) override;
  void SetAttr(const std::string& path, std::int32_t attributes) override;
  void Kill(const std::string& path) override;
  void FileCopy(const std::string& source, const std::string& destination) override;
  void FileCopyNew(const std::string& source, const std::string& destination) override;
  void RenameNew(const std::string& source, const std::string& destination) override;
  std::vector<std::string> RemoveLeftovers(const std::string& dir, const std::string& prefix,
                                           std::int64_t notAfter) override;
  std::string CurDir() override;
  std::string NativePath(const std::string& path) override { return path; }
  // Reads the access list of the file and of each folder above it: a right
  // to change the file, or to remove, rename or re-permit an entry of a
  // folder, granted to everyone, to all users or to guests (or no access
  // list at all) makes the place unsafe. Who else is named one by one the
  // system does not say cheaply, and is not looked at.
  std::string OthersCanChange(const std::string& path) override;
  // The volume, the file's index on it, its size, and the times of its last
  // write and last change (which the system sets on every write, rename and
  // change of attributes).
  std::string FileIdentity(const std::string& path) override;
};
