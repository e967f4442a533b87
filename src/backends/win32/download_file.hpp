#pragma once
// The file a fetch's body streams into: made exclusively in the temporary
// folder under a name of its own, written by the fetch's worker.
#include <cstdint>
#include <string>

#include "backends/common/transfer_rules.hpp"
#include "backends/win32/handles.hpp"

class DownloadFile {
 public:
  // Makes a new file in folder (which ends in a backslash), named
  // kDownloadFilePrefix, a random part and ".tmp", never reusing an existing
  // name. Raises RuntimeError when no file can be made there.
  explicit DownloadFile(const std::wstring& folder);
  DownloadFile(const DownloadFile&) = delete;
  DownloadFile& operator=(const DownloadFile&) = delete;

  // Returns the file's full path. Never fails.
  const std::wstring& Path() const { return path_; }
  // The folder as the user reads it. Never fails.
  std::string FolderText() const;
  // The space on the folder's disk, unknown when the system does not tell.
  DiskSpace Space() const;
  // Appends size bytes. Returns the failure when they cannot all be written
  // (number 0: written); fileLength is the whole file's, for the words of a
  // full disk (below 1: not known).
  FetchFailure Write(const char* data, std::uint32_t size, std::int64_t fileLength);
  // Closes the file; the fetch is done writing. Returns false when the
  // system could not complete it.
  bool Close();

 private:
  std::wstring folder_;
  std::wstring path_;
  UniqueKernelHandle handle_;
};

// The temporary folder (GetTempPathW), ending in a backslash. Raises
// RuntimeError when the system names none.
std::wstring DownloadFolder();
