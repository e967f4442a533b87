#pragma once
// The program's file services over this machine's own paths, as far as the
// publishing tool needs them: reading files in pieces.
#include "platform/file_system.hpp"

class LocalReadFiles : public IFileSystem {
 public:
  // Opens a file by its own (native) path; raises RuntimeError 53 when it is
  // missing, 75 when it is a folder or cannot be read.
  std::unique_ptr<IFileReader> OpenRead(const std::string& path) override;
  // A folder reads as a folder, anything else as missing (53).
  std::int32_t GetAttr(const std::string& path) override;

  // The rest is not needed for reading and raises RuntimeError 75.
  std::string GetTempPath() override { return ""; }
  std::string GetTempFileName(const std::string&, const std::string&) override { return ""; }
  void WriteFile(const std::string&, const std::vector<std::uint8_t>&) override;
  void SetAttr(const std::string&, std::int32_t) override;
  void Kill(const std::string&) override;
  void FileCopy(const std::string&, const std::string&) override;
  void FileCopyNew(const std::string& s, const std::string& d) override { FileCopy(s, d); }
  void RenameNew(const std::string&, const std::string&) override;
  std::vector<std::string> RemoveLeftovers(const std::string&, const std::string&, std::int64_t) override { return {}; }
  std::string CurDir() override { return ""; }
  std::string OthersCanChange(const std::string&) override { return "the publishing tool hands nothing over"; }
  std::string NativePath(const std::string& path) override { return path; }
};

// All of a catalog, or one byte past what its reader looks at. Raises
// RuntimeError as OpenRead does.
std::string ReadLocalFile(IFileSystem& files, const std::string& path);
