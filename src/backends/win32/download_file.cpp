#include "backends/win32/download_file.hpp"

#include "backends/win32/inet_errors.hpp"
#include "backends/win32/prelude.hpp"
#include "backends/win32/wide_text.hpp"
#include "platform/async_read_service.hpp"
#include "support/runtime_error.hpp"
// After windows.h, whose types it uses.
#include <bcrypt.h>

namespace {
// The folder as the user reads it, without its final backslash.
std::string FolderText(std::wstring folder) {
  if (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
  return Narrow(folder);
}

// Eight hex digits from the system's random number generator.
std::wstring RandomPart() {
  std::uint32_t value = 0;
  BCryptGenRandom(nullptr, reinterpret_cast<UCHAR*>(&value), sizeof value, BCRYPT_USE_SYSTEM_PREFERRED_RNG);
  wchar_t text[9];
  swprintf(text, 9, L"%08x", value);
  return text;
}
}  // namespace

std::wstring DownloadFolder() {
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
  if (n == 0 || n > MAX_PATH) RaiseFetchFailure(FetchFailed::NoFileIn("the temporary folder"));
  return std::wstring(buffer, n);
}

DownloadFile::DownloadFile(const std::wstring& folder) : folder_(folder) {
  // CREATE_NEW never opens an existing file or a link planted under the
  // name; another name is tried when one is taken. Others may read the file
  // and a cancel may remove it while it is written.
  for (int attempt = 0; attempt < 100 && !handle_.Valid(); ++attempt) {
    path_ = folder + Widen(kDownloadFilePrefix) + RandomPart() + L".tmp";
    handle_.Reset(CreateFileW(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle_.Valid() && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (!handle_.Valid()) RaiseFetchFailure(FetchFailed::NoFileIn(::FolderText(folder)));
}

std::string DownloadFile::FolderText() const { return ::FolderText(folder_); }

DiskSpace DownloadFile::Space() const {
  ULARGE_INTEGER available{}, total{};
  if (!GetDiskFreeSpaceExW(folder_.c_str(), &available, &total, nullptr)) return {};
  return {static_cast<std::int64_t>(available.QuadPart), static_cast<std::int64_t>(total.QuadPart)};
}

FetchFailure DownloadFile::Write(const char* data, std::uint32_t size, std::int64_t fileLength) {
  for (std::uint32_t done = 0; done < size;) {
    DWORD written = 0;
    if (!WriteFile(handle_.Get(), data + done, size - done, &written, nullptr)) {
      const DWORD error = GetLastError();
      if (error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL)
        return FetchFailed::DiskFull(FolderText(), fileLength, fileLength > 0 ? Space().free : 0);
      return FetchFailed::WriteFailed(InetErrorText(error));
    }
    done += written;
  }
  return {};
}

bool DownloadFile::Close() {
  // Closed here (not left to the owner) since the close can fail: the
  // system may complete a cached write only then.
  if (!handle_.Valid()) return true;
  return CloseHandle(handle_.Release()) != FALSE;
}
