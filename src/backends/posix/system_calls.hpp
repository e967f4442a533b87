#pragma once
// What the POSIX services need that each system answers its own way: where
// a user's files of a kind belong, a rename that never replaces, a copy
// inside the kernel, and a file's extended attribute. One implementation per
// system, chosen by the build (backends/linux/system_calls.cpp on Linux);
// everything else in backends/posix is POSIX alone.
//
// None of these raises. The calls return what the system call returns, with
// errno set, so that the caller's fallbacks and reasons stay its own.
#include <cstddef>
#include <string>

// The per-user folders, by the desktop's convention.
enum class UserFolder {
  Config,   // settings (the registry file)
  Data,     // the user's own files (a product folder of their own)
  Runtime,  // for this login only, private (the wizard's lock)
};
// The folder of that kind, without a final "/"; "" when the user has none.
// Config falls back on "./.config" when even the home folder is unknown, as
// the registry file has always been found there.
std::string UserFolderPath(UserFolder kind);

// Renames from to to unless to exists: 0, or -1 with errno (EEXIST when to
// exists; EINVAL, ENOSYS or EOPNOTSUPP when the file system cannot say).
int RenameNoReplace(const char* from, const char* to);

// Copies up to count bytes from in to out at their offsets without passing
// them through the program: the bytes copied, 0 at the end of in, or -1
// with errno (EXDEV, ENOSYS, EINVAL or EOPNOTSUPP when the system or the
// file systems cannot, and the caller copies by reading).
long long CopyInKernel(int in, int out, std::size_t count);

// One byte of the file's extended attribute name: 1 with *value set, or -1
// when it has none or the file system keeps none.
int ReadAttributeByte(const char* path, const char* name, unsigned char* value);
// Sets it (0) or removes it; -1 with errno when the file system refuses.
int WriteAttributeByte(const char* path, const char* name, unsigned char value);
int RemoveAttribute(const char* path, const char* name);
