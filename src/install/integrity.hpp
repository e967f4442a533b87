#pragma once
// The pieces of the integrity check: the CRC-32 and SHA-256 of a file read in pieces,
// the name of the verified copy and the guard that keeps it in the product
// folder.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "catalog/update_component.hpp"
#include "platform/file_system.hpp"
#include "platform/signature_verifier.hpp"

// Pieces of this size are read and checked one after another, so memory
// stays flat whatever the package's size.
inline constexpr std::size_t kCrcReadPiece = 256 * 1024;

// What one read of a package gives: its CRC-32, SHA-256 and length.
struct PackageDigests {
  std::uint32_t crc = 0;
  Sha256Digest sha256{};
  std::int64_t length = 0;
};

// The CRC-32 and the SHA-256 of a file's bytes from one read of it, or
// nothing for an empty file. Raises RuntimeError when the file cannot be
// opened or read to its length.
std::optional<PackageDigests> FileDigests(IFileSystem& files, ISignatureVerifier& verifier, const std::string& path);

// How the package read differs from what the catalog says of it, in the
// words of a log line ("has CRC-32 X, the catalog says Y"); "" when it is
// the package announced. The SHA-256 and length count when the catalog gives them.
std::string PackageMismatch(const std::optional<PackageDigests>& digests, const UpdateComponent& entry);

// A digest as 64 lower-case hexadecimal digits.
std::string FormatSha256(const Sha256Digest& digest);

// The value as eight upper-case hexadecimal digits with leading zeros.
std::string FormatCrc(std::uint32_t value);

// The part of sPath after its last "." (bExtension true) or before it
// (false); a path without a "." after its first character has the
// extension "" and is wholly the base. Never raises.
std::string SplitExtension(const std::string& sPath, bool bExtension);

// sPath when no such file exists, else the first free of base0.ext,
// base1.ext, ... base31999.ext; "" when none is free. Never raises.
std::string UniqueFileName(IFileSystem& files, const std::string& sPath);

// True for a name that stays a plain file inside the folder it is appended
// to: not empty, not made only of dots and blanks, without "\", "/", ":"
// and control characters. Never raises.
bool IsPlainFileName(const std::string& name);

// True when path is folder (ending in "\") followed by a plain file name.
bool IsFileDirectlyIn(const std::string& folder, const std::string& path);
