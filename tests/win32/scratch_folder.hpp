#pragma once
// A folder of a test's own in the system's temporary-files folder, removed
// with everything in it at the end of the test.
#include <string>

class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // The folder's path, ending in "\".
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};
