#include "win32/scratch_folder.hpp"

#include <filesystem>
#include <stdexcept>

#include "platform/win32/win32_prelude.hpp"

ScratchFolder::ScratchFolder() {
  char temp[MAX_PATH + 1] = {};
  const DWORD n = GetTempPathA(sizeof temp, temp);
  if (n == 0 || n > MAX_PATH) throw std::runtime_error("no temporary-files folder");
  for (unsigned attempt = 0;; ++attempt) {
    const std::string path = std::string(temp) + "larkspire-" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(GetTickCount() + attempt);
    if (CreateDirectoryA(path.c_str(), nullptr)) {
      path_ = path + "\\";
      return;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS || attempt > 1000) throw std::runtime_error("no scratch folder");
  }
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}
