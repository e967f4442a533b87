#pragma once
// Text and path helpers of the installed-state discovery.
#include <cstdint>
#include <string>

#include "platform/file_system.hpp"

// Each character equal to find (a one-character text) replaced by the first
// character of replacement. A longer or empty find, or an empty
// replacement, changes nothing. Works on texts of any length.
std::string ReplaceChars(const std::string& text, const std::string& find, const std::string& replacement);

// Trimmed and "/" turned into "\"; then with trailingSlash a final "\" is
// added unless there is one, and without it one final "\" is removed (a
// folder stored as "dir\\" keeps one). An empty path stays empty.
std::string NormalizePath(const std::string& path, bool trailingSlash);

// True for a path that opens as a file, and for an existing folder. error
// receives 0, the file error number, or -1 for an empty file. Never raises.
bool FileExists(IFileSystem& files, const std::string& path, std::int32_t* error = nullptr);

// The user's own product folder where the system has one; otherwise the
// root of the current drive ("Z:\"), or "c:\" when it has none.
std::string GetDefaultPath(IFileSystem& files);

// The file's first bytes, at most limit of them (fewer when it is shorter).
// Raises RuntimeError when it cannot be opened or read.
std::string ReadFileUpTo(IFileSystem& files, const std::string& path, std::size_t limit);
