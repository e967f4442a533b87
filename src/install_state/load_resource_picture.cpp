#include "install_state/read_installed_state.hpp"
#include "support/runtime_error.hpp"

std::shared_ptr<Picture> InstalledStateReader::LoadResourcePicture(const std::string& name) {
  IFileSystem& files = *platform_.files;
  while (true) {
    std::string tempFile;
    try {
      std::string folder = files.GetTempPath();
      if (folder.empty()) folder.assign(1, '.');  // the current folder
      tempFile = files.GetTempFileName(folder, "qvm");
      if (!tempFile.empty()) {
        const auto bytes = platform_.resources->LoadResource(name, "CUSTOM");
        if (!bytes) throw RuntimeError(326, "Resource with identifier '" + name + "' not found");
        files.WriteFile(tempFile, *bytes);
        auto picture = platform_.pictures->LoadPicture(tempFile);
        files.Kill(tempFile);
        pictureFailures_ = 0;
        return picture;
      }
    } catch (const std::exception&) {
    }
    // The temporary copy never outlives a failed load either.
    if (!tempFile.empty()) {
      try {
        files.Kill(tempFile);
      } catch (const std::exception&) {
      }
    }
    if (++pictureFailures_ >= 2) return nullptr;
  }
}
