#include "install/integrity.hpp"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <vector>

#include "install/crc32.hpp"
#include "install_state/path_helpers.hpp"
#include "support/runtime_error.hpp"

namespace {
// Reads the whole file in pieces and hands each to eachPiece; its length,
// or nothing for an empty file.
template <class EachPiece>
std::optional<std::int64_t> ReadInPieces(IFileSystem& files, const std::string& path, EachPiece eachPiece) {
  const auto reader = files.OpenRead(path);
  const std::int64_t length = reader->Length();
  if (length < 1) return std::nullopt;
  std::vector<std::uint8_t> piece(kCrcReadPiece);
  std::int64_t left = length;
  while (left > 0) {
    const auto want = static_cast<std::size_t>(std::min<std::int64_t>(left, static_cast<std::int64_t>(piece.size())));
    const std::size_t got = reader->Read(piece.data(), want);
    // A file that ends before its length was taken is not the file whose
    // length was checked.
    if (got == 0) RaiseError(ErrNo::PathFileAccess);
    eachPiece(std::span<const std::uint8_t>(piece.data(), got));
    left -= static_cast<std::int64_t>(got);
  }
  return length;
}

// Hexadecimal digits compared without regard to case.
bool SameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
  return true;
}
}  // namespace

std::optional<PackageDigests> FileDigests(IFileSystem& files, ISignatureVerifier& verifier, const std::string& path) {
  CrcCalculator calc;
  std::int32_t reg = calc.InitCrcTable(kCrc32Polynomial, -1);
  const auto sha = verifier.NewSha256();
  // Each piece is still in the cache when the second sum takes it.
  const auto length = ReadInPieces(files, path, [&](std::span<const std::uint8_t> piece) {
    reg = calc.UpdateCrc(piece, reg);
    sha->Update(piece);
  });
  if (!length) return std::nullopt;
  return PackageDigests{static_cast<std::uint32_t>(FinishCrc(reg)), sha->Finish(), *length};
}

std::string FormatSha256(const Sha256Digest& digest) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  for (const std::uint8_t b : digest) text += {kHex[b >> 4], kHex[b & 15]};
  return text;
}

std::string PackageMismatch(const std::optional<PackageDigests>& digests, const UpdateComponent& entry) {
  const std::string crc = digests ? FormatCrc(digests->crc) : "(empty)";
  if (!digests || !SameText(crc, entry.sCrc)) return "has CRC-32 " + crc + ", the catalog says " + entry.sCrc;
  if (const std::string sha = FormatSha256(digests->sha256); !entry.sSha256.empty() && sha != entry.sSha256)
    return "has SHA-256 " + sha + ", the catalog says " + entry.sSha256;
  if (entry.lSize && digests->length != entry.lSize)
    return "is " + std::to_string(digests->length) + " bytes long, the catalog says " + std::to_string(entry.lSize);
  return "";
}

std::string FormatCrc(std::uint32_t value) {
  char text[9];
  std::snprintf(text, sizeof text, "%08X", value);
  return text;
}

std::string SplitExtension(const std::string& sPath, bool bExtension) {
  const std::size_t dot = sPath.rfind('.');
  // A point in the first position starts no extension.
  if (dot == std::string::npos || dot == 0) return bExtension ? "" : sPath;
  return bExtension ? sPath.substr(dot + 1) : sPath.substr(0, dot);
}

std::string UniqueFileName(IFileSystem& files, const std::string& sPath) {
  const std::string base = SplitExtension(sPath, false);
  const std::string ext = SplitExtension(sPath, true);
  std::string path = sPath;
  for (int n = 0; FileExists(files, path); ++n) {
    if (n == 32000) return "";
    path = base + std::to_string(n) + "." + ext;
  }
  return path;
}

bool IsPlainFileName(const std::string& name) {
  if (name.find_first_not_of(". ") == std::string::npos) return false;
  return std::none_of(name.begin(), name.end(),
                      [](char c) { return c == '\\' || c == '/' || c == ':' || static_cast<unsigned char>(c) < 32; });
}

bool IsFileDirectlyIn(const std::string& folder, const std::string& path) {
  return !folder.empty() && folder.back() == '\\' && path.size() > folder.size() && path.starts_with(folder) &&
         IsPlainFileName(path.substr(folder.size()));
}
