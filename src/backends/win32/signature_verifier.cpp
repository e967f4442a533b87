#include "backends/win32/signature_verifier.hpp"

#include <cstring>
#include <vector>

#include "backends/win32/handles.hpp"
#include "backends/win32/prelude.hpp"
#include "support/runtime_error.hpp"
// After windows.h, whose types it uses.
#include <bcrypt.h>

namespace {
// An algorithm provider, closed again however the call ends.
class Provider {
 public:
  explicit Provider(LPCWSTR algorithm) {
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&handle_, algorithm, nullptr, 0))) handle_ = nullptr;
  }
  ~Provider() {
    if (handle_) BCryptCloseAlgorithmProvider(handle_, 0);
  }
  Provider(const Provider&) = delete;
  Provider& operator=(const Provider&) = delete;
  BCRYPT_ALG_HANDLE get() const { return handle_; }

 private:
  BCRYPT_ALG_HANDLE handle_ = nullptr;
};

class CngSha256 : public ISha256 {
 public:
  CngSha256() : provider_(BCRYPT_SHA256_ALGORITHM) {
    // The system keeps the hash object's memory (no buffer of ours).
    if (!provider_.get() || !BCRYPT_SUCCESS(BCryptCreateHash(provider_.get(), &hash_, nullptr, 0, nullptr, 0, 0)))
      throw RuntimeError(ErrNo::InvalidArgument, "the system cannot compute SHA-256");
  }
  ~CngSha256() override { BCryptDestroyHash(hash_); }
  CngSha256(const CngSha256&) = delete;
  CngSha256& operator=(const CngSha256&) = delete;

  void Update(std::span<const std::uint8_t> piece) override {
    // BCryptHashData takes a 32-bit count: hand over large pieces in parts.
    constexpr std::size_t kMaxPart = 1u << 30;
    for (std::size_t at = 0; at < piece.size(); at += kMaxPart) {
      const std::size_t n = std::min(kMaxPart, piece.size() - at);
      BCryptHashData(hash_, const_cast<PUCHAR>(piece.data() + at), static_cast<ULONG>(n), 0);
    }
  }
  Sha256Digest Finish() override {
    Sha256Digest digest{};
    BCryptFinishHash(hash_, digest.data(), static_cast<ULONG>(digest.size()), 0);
    return digest;
  }

 private:
  Provider provider_;
  BCRYPT_HASH_HANDLE hash_ = nullptr;
};
}  // namespace

bool Win32SignatureVerifier::VerifyP256(std::span<const std::uint8_t> message, std::span<const std::uint8_t> signature,
                                        std::span<const std::uint8_t> publicKey) {
  if (signature.size() != kSignatureSize || publicKey.size() != kPublicKeySize || publicKey[0] != 0x04) return false;
  Sha256Digest digest;
  try {
    CngSha256 sha;
    sha.Update(message);
    digest = sha.Finish();
  } catch (const RuntimeError&) {
    return false;
  }

  // The key blob: its header, then X and Y without the point's 04.
  std::vector<std::uint8_t> blob(sizeof(BCRYPT_ECCKEY_BLOB) + 64);
  const BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
  std::memcpy(blob.data(), &header, sizeof header);
  std::memcpy(blob.data() + sizeof header, publicKey.data() + 1, 64);

  const Provider ecdsa(BCRYPT_ECDSA_P256_ALGORITHM);
  BCRYPT_KEY_HANDLE key = nullptr;
  if (!ecdsa.get() || !BCRYPT_SUCCESS(BCryptImportKeyPair(ecdsa.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, &key,
                                                          blob.data(), static_cast<ULONG>(blob.size()), 0)))
    return false;
  const UniqueHandle<BCRYPT_KEY_HANDLE, &::BCryptDestroyKey> owned(key);
  return BCRYPT_SUCCESS(BCryptVerifySignature(key, nullptr, digest.data(), static_cast<ULONG>(digest.size()),
                                              const_cast<PUCHAR>(signature.data()),
                                              static_cast<ULONG>(signature.size()), 0));
}

std::unique_ptr<ISha256> Win32SignatureVerifier::NewSha256() { return std::make_unique<CngSha256>(); }
