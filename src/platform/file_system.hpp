#pragma once
// File services as the program uses them. Paths are the program's own
// (Windows-shaped: "\" separators, "Z:\..." or "\..." absolute); a backend
// maps them to its file system. Operations that can fail raise RuntimeError
// with the platform's file error numbers: 53 file not found, 75 path/file
// access error, 76 path not found, 61 disk full, 70 permission denied.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Attr {
constexpr std::int32_t Normal = 0;
constexpr std::int32_t ReadOnly = 1;
constexpr std::int32_t Hidden = 2;
constexpr std::int32_t System = 4;
constexpr std::int32_t Directory = 16;
constexpr std::int32_t Archive = 32;
}  // namespace Attr

// A file opened for reading in pieces.
class IFileReader {
 public:
  virtual ~IFileReader() = default;
  virtual std::int64_t Length() const = 0;
  // Reads up to n bytes; returns how many (0 at the end). Raises on failure.
  virtual std::size_t Read(std::uint8_t* buffer, std::size_t n) = 0;
};

class IFileSystem {
 public:
  virtual ~IFileSystem() = default;
  // The temporary-files folder ending in "\", or "" when there is none.
  virtual std::string GetTempPath() = 0;
  // Creates a new empty file with a unique name that begins with prefix in
  // dir, never following or reusing an existing name or link; returns its
  // path, or "" on failure.
  virtual std::string GetTempFileName(const std::string& dir, const std::string& prefix) = 0;
  // Opens a file for reading: its length, or a raise (53, 75 for a folder or
  // a file that cannot be read, 76 when the folder is missing).
  virtual std::unique_ptr<IFileReader> OpenRead(const std::string& path) = 0;
  // Writes bytes from the start of a file, creating it when needed. Raises.
  virtual void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) = 0;
  // Attributes (Attr bits). Raises 53 or 76 when the path does not exist.
  virtual std::int32_t GetAttr(const std::string& path) = 0;
  virtual void SetAttr(const std::string& path, std::int32_t attributes) = 0;
  // Deletes a file. Raises.
  virtual void Kill(const std::string& path) = 0;
  // Copies a file; the destination is created or overwritten. Raises.
  virtual void FileCopy(const std::string& source, const std::string& destination) = 0;
  // Copies a file to destination, which is created exclusively (58 when
  // the name exists, even as a link). Raises.
  virtual void FileCopyNew(const std::string& source, const std::string& destination) = 0;
  // Gives the file source the new name destination in the same folder, in
  // one step: destination is never replaced (58 when it exists). Raises.
  virtual void RenameNew(const std::string& source, const std::string& destination) = 0;
  // Removes the files of dir whose names begin with prefix and end in
  // ".tmp", that this user owns and that were last written before the time
  // notAfter (seconds since 1970): what runs that ended without cleaning up
  // left behind. The paths removed. Never raises.
  virtual std::vector<std::string> RemoveLeftovers(const std::string& dir, const std::string& prefix,
                                                   std::int64_t notAfter) = 0;
  // The current folder, in the program's path form.
  virtual std::string CurDir() = 0;
  // The backend's own form of a path (for handing to other programs).
  virtual std::string NativePath(const std::string& path) = 0;
  // Whether anyone but this user (and the system's administrator) could
  // change or replace the file or folder at path before another program
  // opens it: "" when nobody else can write it or any folder above it (a
  // shared folder that lets each user remove only their own entries
  // counts as safe); else the first place another user can change, with
  // why, for the log. A place that cannot be examined counts as unsafe.
  // Never raises.
  virtual std::string OthersCanChange(const std::string& path) = 0;
  // What tells this file's present content from any other without reading
  // it: a text that changes whenever the file is written, truncated,
  // replaced or has its attributes changed (on Linux its device, inode,
  // size and change times). "" when the system cannot tell or the file
  // cannot be examined: then the content must be read to be known. Never
  // raises.
  virtual std::string FileIdentity(const std::string& /*path*/) { return ""; }
  // A folder of the user's own for the product's files, made if missing and
  // ending in "\", for when the registry names no usable product folder;
  // "" where the system keeps no such folder (the current drive's root
  // serves then). Never raises.
  virtual std::string DefaultProductFolder() { return ""; }
};
