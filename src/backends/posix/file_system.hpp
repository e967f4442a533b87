#pragma once
// Files on Linux.
//
// Paths: the program speaks in Windows-shaped paths. The Linux file system
// appears as drive Z: ("Z:\home\ann" is /home/ann), as under Wine; a path
// that begins with "\" is on that drive too, and other drive letters do not
// exist.
#include <string>

#include "platform/file_system.hpp"

class PosixFileSystem : public IFileSystem {
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
  std::string NativePath(const std::string& path) override;
  // Walks the path as named and the path it really leads to, from the file
  // up to "/": each must belong to this user or root, and a folder that its
  // group or others may write must have the sticky bit (as /tmp has).
  std::string OthersCanChange(const std::string& path) override;
  // The device, inode, size and the times of the last write and the last
  // change of the file the path leads to. The kernel sets the change time on
  // every write, truncation, rename and change of mode, and nobody can set
  // it back short of the clock itself; a write within the same tick of the
  // file system's clock as the look may go unseen, so the identity answers
  // for changes since, not for a race with this user's own programs.
  std::string FileIdentity(const std::string& path) override;
  // $XDG_DATA_HOME/larkspire (~/.local/share/larkspire without it).
  std::string DefaultProductFolder() override;

  // The program's form of a Linux path.
  static std::string FromNative(const std::string& native);
  // The Linux path of a program path; "" for a drive that does not exist.
  static std::string ToNative(const std::string& path);

 private:
  static void Copy(const std::string& source, const std::string& destination, bool exclusive);
};
