#include "backends/win32/file_system.hpp"

#include <aclapi.h>

#include <cstdio>
#include <memory>
#include <utility>

#include "backends/win32/handles.hpp"
#include "backends/win32/wide_text.hpp"
#include "support/runtime_error.hpp"

namespace {
[[noreturn]] void RaiseLastError(DWORD err) {
  switch (err) {
    case ERROR_FILE_NOT_FOUND:
      RaiseError(ErrNo::FileNotFound);
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
      RaiseError(ErrNo::PathNotFound);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      RaiseError(ErrNo::DiskFull);
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      RaiseError(ErrNo::PathFileAccess);
    default:
      RaiseError(ErrNo::PathFileAccess);
  }
}

// Paths reach the system as UTF-16, so a folder in any script is found.
std::wstring W(const std::string& path) { return Widen(path); }

class Win32Reader : public IFileReader {
 public:
  Win32Reader(UniqueKernelHandle h, std::int64_t length) : h_(std::move(h)), length_(length) {}
  std::int64_t Length() const override { return length_; }
  std::size_t Read(std::uint8_t* buffer, std::size_t n) override {
    DWORD got = 0;
    const DWORD want = n > 0x40000000 ? 0x40000000 : static_cast<DWORD>(n);
    if (!ReadFile(h_.Get(), buffer, want, &got, nullptr)) RaiseLastError(GetLastError());
    return got;
  }

 private:
  UniqueKernelHandle h_;
  std::int64_t length_;
};
}  // namespace

namespace {
// Which broad group an access entry names, or nullptr for anyone else.
const char* BroadGroup(PSID sid) {
  static const std::pair<WELL_KNOWN_SID_TYPE, const char*> kGroups[] = {
      {WinWorldSid, "everyone"},         {WinAuthenticatedUserSid, "all signed-in users"},
      {WinBuiltinUsersSid, "all users"}, {WinInteractiveSid, "every interactive user"},
      {WinBuiltinGuestsSid, "guests"},   {WinAnonymousSid, "anonymous users"}};
  for (const auto& [type, name] : kGroups) {
    BYTE buffer[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof buffer;
    if (CreateWellKnownSid(type, nullptr, buffer, &size) && EqualSid(sid, buffer)) return name;
  }
  return nullptr;
}

// Why a broad group could change the entry at path (a file, or a folder on
// the way to it), or "".
std::string WhyOthersCanChange(const std::wstring& path, bool isFile) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD status = GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                             &dacl, nullptr, &descriptor);
  const std::string name = Narrow(path);
  if (status != ERROR_SUCCESS) return "cannot tell who may change " + name + " (error " + std::to_string(status) + ")";
  const UniqueLocalMemory owned(descriptor);
  if (!dacl) return name + " has no access list: everyone may change it";
  // Changing a file's bytes, or removing, renaming or re-permitting an entry.
  const ACCESS_MASK risky = (isFile ? FILE_WRITE_DATA | FILE_APPEND_DATA | GENERIC_WRITE : FILE_DELETE_CHILD) | DELETE |
                            WRITE_DAC | WRITE_OWNER | GENERIC_ALL;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    ACE_HEADER* header = nullptr;
    if (!GetAce(dacl, i, reinterpret_cast<void**>(&header)) || header->AceType != ACCESS_ALLOWED_ACE_TYPE ||
        (header->AceFlags & INHERIT_ONLY_ACE))
      continue;
    auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
    if (!(ace->Mask & risky)) continue;
    if (const char* group = BroadGroup(&ace->SidStart)) return name + " can be changed by " + group;
  }
  return "";
}
}  // namespace

std::string Win32FileSystem::OthersCanChange(const std::string& path) {
  std::wstring wide = Widen(path);
  for (bool isFile = (::GetFileAttributesW(wide.c_str()) & FILE_ATTRIBUTE_DIRECTORY) == 0;; isFile = false) {
    while (wide.size() > 3 && (wide.back() == L'\\' || wide.back() == L'/')) wide.pop_back();
    if (std::string why = WhyOthersCanChange(wide, isFile); !why.empty()) return why;
    const std::size_t slash = wide.find_last_of(L"\\/");
    // Up to the drive's root ("C:\\"), which is looked at last.
    if (slash == std::wstring::npos || wide.size() <= 3) return "";
    wide.resize(slash + 1);
  }
}

std::string Win32FileSystem::FileIdentity(const std::string& path) {
  const UniqueKernelHandle h(::CreateFileW(Widen(path).c_str(), FILE_READ_ATTRIBUTES,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  BY_HANDLE_FILE_INFORMATION file{};
  FILE_BASIC_INFO basic{};
  if (!h.Valid() || !::GetFileInformationByHandle(h.Get(), &file) ||
      !::GetFileInformationByHandleEx(h.Get(), FileBasicInfo, &basic, sizeof basic) ||
      (file.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return "";
  char text[160];
  std::snprintf(text, sizeof text, "%lx:%lx%08lx:%lx%08lx:%llx:%llx", file.dwVolumeSerialNumber, file.nFileIndexHigh,
                file.nFileIndexLow, file.nFileSizeHigh, file.nFileSizeLow,
                static_cast<unsigned long long>(basic.LastWriteTime.QuadPart),
                static_cast<unsigned long long>(basic.ChangeTime.QuadPart));
  return text;
}

std::string Win32FileSystem::GetTempPath() {
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD n = ::GetTempPathW(MAX_PATH + 1, buffer);
  if (n == 0 || n > MAX_PATH) return "";
  return Narrow(std::wstring(buffer, n));
}

std::string Win32FileSystem::GetTempFileName(const std::string& dir, const std::string& prefix) {
  wchar_t buffer[MAX_PATH] = {};
  // Unique number 0: the system picks a free name and creates the file.
  if (!::GetTempFileNameW(W(dir).c_str(), W(prefix).c_str(), 0, buffer)) return "";
  return Narrow(buffer);
}

std::unique_ptr<IFileReader> Win32FileSystem::OpenRead(const std::string& path) {
  const std::wstring w = W(path);
  const DWORD attributes = GetFileAttributesW(w.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    RaiseError(ErrNo::PathFileAccess);
  UniqueKernelHandle h(CreateFileW(w.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h.Valid()) RaiseLastError(GetLastError());
  LARGE_INTEGER size{};
  GetFileSizeEx(h.Get(), &size);
  return std::make_unique<Win32Reader>(std::move(h), size.QuadPart);
}

void Win32FileSystem::WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  UniqueKernelHandle h(
      CreateFileW(W(path).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h.Valid()) RaiseLastError(GetLastError());
  for (std::size_t done = 0; done < bytes.size();) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
    if (!::WriteFile(h.Get(), bytes.data() + done, chunk, &written, nullptr)) RaiseLastError(GetLastError());
    done += written;
  }
  // The close can fail (the system may complete a cached write only then).
  if (!CloseHandle(h.Release())) RaiseLastError(GetLastError());
}

std::int32_t Win32FileSystem::GetAttr(const std::string& path) {
  const DWORD a = GetFileAttributesW(W(path).c_str());
  if (a == INVALID_FILE_ATTRIBUTES) RaiseLastError(GetLastError());
  return static_cast<std::int32_t>(a &
                                   (Attr::ReadOnly | Attr::Hidden | Attr::System | Attr::Directory | Attr::Archive));
}

void Win32FileSystem::SetAttr(const std::string& path, std::int32_t attributes) {
  if (!SetFileAttributesW(W(path).c_str(), attributes == 0 ? FILE_ATTRIBUTE_NORMAL : static_cast<DWORD>(attributes)))
    RaiseLastError(GetLastError());
}

void Win32FileSystem::Kill(const std::string& path) {
  const std::wstring w = W(path);
  // A folder is no file: the program's deletions are of files only.
  const DWORD attributes = GetFileAttributesW(w.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) RaiseError(ErrNo::FileNotFound);
  if (!DeleteFileW(w.c_str())) RaiseLastError(GetLastError());
}

void Win32FileSystem::FileCopy(const std::string& source, const std::string& destination) {
  const std::wstring to = W(destination);
  // Windows refuses to replace a read-only file; Wine run by root would
  // replace it, as root may write anything.
  const DWORD attributes = GetFileAttributesW(to.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    RaiseError(ErrNo::PathFileAccess);
  if (!CopyFileW(W(source).c_str(), to.c_str(), FALSE)) RaiseLastError(GetLastError());
}

void Win32FileSystem::FileCopyNew(const std::string& source, const std::string& destination) {
  // The system's own copy refuses an existing destination when asked to.
  if (CopyFileW(W(source).c_str(), W(destination).c_str(), TRUE)) return;
  const DWORD err = GetLastError();
  if (err == ERROR_ALREADY_EXISTS || err == ERROR_FILE_EXISTS) RaiseError(ErrNo::FileAlreadyExists);
  RaiseLastError(err);
}

void Win32FileSystem::RenameNew(const std::string& source, const std::string& destination) {
  // Without MOVEFILE_REPLACE_EXISTING an existing destination is kept.
  if (MoveFileExW(W(source).c_str(), W(destination).c_str(), 0)) return;
  const DWORD err = GetLastError();
  if (err == ERROR_ALREADY_EXISTS || err == ERROR_FILE_EXISTS) RaiseError(ErrNo::FileAlreadyExists);
  RaiseLastError(err);
}

std::vector<std::string> Win32FileSystem::RemoveLeftovers(const std::string& dir, const std::string& prefix,
                                                          std::int64_t notAfter) {
  std::vector<std::string> removed;
  std::wstring folder = W(dir);
  if (folder.empty()) return removed;
  if (folder.back() != L'\\') folder += L'\\';
  WIN32_FIND_DATAW found = {};
  const UniqueFind search(FindFirstFileW((folder + W(prefix) + L"*.tmp").c_str(), &found));
  if (!search.Valid()) return removed;
  // FILETIME counts 100 ns from 1601; the Unix epoch is 11644473600 s later.
  const std::uint64_t limit = (static_cast<std::uint64_t>(notAfter) + 11644473600ULL) * 10000000ULL;
  do {
    const std::uint64_t written =
        static_cast<std::uint64_t>(found.ftLastWriteTime.dwHighDateTime) << 32 | found.ftLastWriteTime.dwLowDateTime;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || written >= limit) continue;
    const std::wstring path = folder + found.cFileName;
    // The program's own downloads are read-only until they are handed on.
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (DeleteFileW(path.c_str())) removed.push_back(Narrow(path));
  } while (FindNextFileW(search.Get(), &found));
  return removed;
}

std::string Win32FileSystem::CurDir() {
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD n = GetCurrentDirectoryW(MAX_PATH + 1, buffer);
  if (n == 0 || n > MAX_PATH) RaiseError(ErrNo::PathNotFound);
  return Narrow(std::wstring(buffer, n));
}
