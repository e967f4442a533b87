#include "install_state/path_helpers.hpp"

#include <algorithm>

#include "install_state/version_rules.hpp"
#include "support/codepage.hpp"
#include "support/runtime_error.hpp"

std::string ReplaceChars(const std::string& text, const std::string& find, const std::string& replacement) {
  if (find.empty() || replacement.empty()) return text;
  const std::u32string f = Utf8ToCodePoints(find);
  if (f.size() != 1) return text;
  const char32_t with = Utf8ToCodePoints(replacement).front();
  std::u32string cps = Utf8ToCodePoints(text);
  for (char32_t& c : cps)
    if (c == f.front()) c = with;
  return CodePointsToUtf8(cps);
}

std::string NormalizePath(const std::string& path, bool trailingSlash) {
  std::string p = ReplaceChars(TrimSpaces(path), "/", "\\");
  if (p.empty()) return p;
  const bool endsInSlash = p.back() == '\\';
  if (trailingSlash && !endsInSlash) p += '\\';
  if (!trailingSlash && endsInSlash) p.pop_back();
  return p;
}

bool FileExists(IFileSystem& files, const std::string& path, std::int32_t* error) {
  std::int32_t err = 0;
  bool result = true;
  try {
    const auto reader = files.OpenRead(path);
    if (reader->Length() == 0) err = -1;
  } catch (const RuntimeError& e) {
    err = e.Number();
    result = false;
    if (path.empty() || static_cast<unsigned char>(path.front()) < 32) {
      err = 0;
    } else if (e.Number() == ErrNo::PathFileAccess || e.Number() == ErrNo::PathNotFound) {
      try {
        const std::int32_t attributes = files.GetAttr(path);
        err = 0;
        if (attributes & Attr::Directory) result = true;
      } catch (const RuntimeError& attrError) {
        err = attrError.Number();
      }
    }
  }
  if (error) *error = err;
  return result;
}

std::string GetDefaultPath(IFileSystem& files) {
  // Where the user has a folder of their own, the product's files go there:
  // the root of a drive shared by everyone is not theirs to write.
  try {
    if (std::string own = files.DefaultProductFolder(); !own.empty()) return own;
  } catch (const std::exception&) {
  }
  try {
    const std::u32string cur = Utf8ToCodePoints(files.CurDir());
    const std::string d = CodePointsToUtf8(cur.substr(0, 2));
    if (cur.size() >= 2 && cur[1] == U':' && FileExists(files, d + "\\")) return d + "\\";
  } catch (const std::exception&) {
  }
  return "c:\\";
}

std::string ReadFileUpTo(IFileSystem& files, const std::string& path, std::size_t limit) {
  const auto reader = files.OpenRead(path);
  std::string bytes(
      static_cast<std::size_t>(std::clamp<std::int64_t>(reader->Length(), 0, static_cast<std::int64_t>(limit))), '\0');
  std::size_t got = 0;
  while (got < bytes.size()) {
    const std::size_t n = reader->Read(reinterpret_cast<std::uint8_t*>(bytes.data()) + got, bytes.size() - got);
    if (n == 0) break;
    got += n;
  }
  bytes.resize(got);
  return bytes;
}
