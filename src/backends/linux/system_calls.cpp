// The POSIX services' system-specific calls, as Linux answers them: the XDG
// base directories, renameat2 with RENAME_NOREPLACE, copy_file_range and
// the user.* extended attributes.
#include "backends/posix/system_calls.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {
// An absolute setting of the environment, or nothing: a relative one is
// ignored, as the base directory rules ask.
const char* Absolute(const char* name) {
  const char* value = std::getenv(name);
  return value && *value == '/' ? value : nullptr;
}
}  // namespace

std::string UserFolderPath(UserFolder kind) {
  switch (kind) {
    case UserFolder::Config: {
      if (const char* xdg = Absolute("XDG_CONFIG_HOME")) return xdg;
      const char* home = std::getenv("HOME");
      return std::string(home && *home ? home : ".") + "/.config";
    }
    case UserFolder::Data: {
      if (const char* xdg = Absolute("XDG_DATA_HOME")) return xdg;
      if (const char* home = Absolute("HOME")) return std::string(home) + "/.local/share";
      return "";
    }
    case UserFolder::Runtime: {
      struct stat st {};
      const char* runtime = Absolute("XDG_RUNTIME_DIR");
      return runtime && stat(runtime, &st) == 0 && S_ISDIR(st.st_mode) ? runtime : "";
    }
  }
  return "";
}

int RenameNoReplace(const char* from, const char* to) {
  return renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
}

long long CopyInKernel(int in, int out, std::size_t count) {
  return copy_file_range(in, nullptr, out, nullptr, count, 0);
}

int ReadAttributeByte(const char* path, const char* name, unsigned char* value) {
  return getxattr(path, name, value, 1) == 1 ? 1 : -1;
}

int WriteAttributeByte(const char* path, const char* name, unsigned char value) {
  return setxattr(path, name, &value, 1, 0);
}

int RemoveAttribute(const char* path, const char* name) { return removexattr(path, name); }
