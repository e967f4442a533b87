#pragma once
// The maker's signature on an update and the digest of a package, from the
// system's own well-kept cryptography (OpenSSL on Linux, CNG on Windows):
// ECDSA over the curve P-256 with SHA-256, and SHA-256 fed in pieces so
// that a package's digest and its CRC-32 come from one read of the file.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

// A SHA-256 digest.
using Sha256Digest = std::array<std::uint8_t, 32>;

// One SHA-256 computation, fed piece by piece in order.
class ISha256 {
 public:
  virtual ~ISha256() = default;
  // Adds the next piece of the data. Never raises.
  virtual void Update(std::span<const std::uint8_t> piece) = 0;
  // The digest of every piece given; the object is spent afterwards.
  // Never raises.
  virtual Sha256Digest Finish() = 0;
};

class ISignatureVerifier {
 public:
  // A public key: the uncompressed point 04 || X || Y.
  static constexpr std::size_t kPublicKeySize = 65;
  // A signature: r || s, each 32 bytes big-endian.
  static constexpr std::size_t kSignatureSize = 64;

  virtual ~ISignatureVerifier() = default;
  // True when signature is an ECDSA P-256 signature by publicKey over the
  // SHA-256 of message. False for everything else: a key or signature of
  // the wrong size, a point that is not on the curve, r or s of 0 or not
  // below the group order, a mismatch. Both halves of s (s and n - s) are
  // accepted, as ECDSA itself accepts them. Never raises.
  virtual bool VerifyP256(std::span<const std::uint8_t> message, std::span<const std::uint8_t> signature,
                          std::span<const std::uint8_t> publicKey) = 0;
  // A fresh SHA-256 computation. Raises RuntimeError (5) when the system
  // cannot provide one.
  virtual std::unique_ptr<ISha256> NewSha256() = 0;
};
