#pragma once
// A file written beside its final place under a temporary name and moved
// there in one step, so that a reader sees the old file or the whole new
// one, never a part. Removed again unless committed.
#include <cstdint>
#include <filesystem>
#include <string_view>

class StagedFile {
 public:
  // Creates the temporary file in the final place's folder. Raises
  // PublishError (WriteFailed).
  explicit StagedFile(std::filesystem::path finalPath);
  ~StagedFile();
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  // Appends bytes. Raises PublishError (WriteFailed).
  void Write(const std::uint8_t* data, std::size_t n);
  void Write(std::string_view bytes);
  // Makes the contents durable and readable by a web server (mode 0644) and
  // closes the file. Raises PublishError (WriteFailed).
  void Finish();
  // Moves the finished file to its final place, replacing what is there.
  // Raises PublishError (WriteFailed).
  void Commit();

  const std::filesystem::path& TempPath() const { return temp_; }

 private:
  std::filesystem::path final_;
  std::filesystem::path temp_;
  int fd_ = -1;
  bool committed_ = false;
};
