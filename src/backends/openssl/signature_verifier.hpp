#pragma once
#include "backends/openssl/crypto_on_demand.hpp"
#include "platform/signature_verifier.hpp"

// ECDSA P-256 and SHA-256 from OpenSSL 3 (EVP), which picks the
// processor's SHA extensions or vector units for the digest. Without a
// libcrypto that loads, every signature is refused (the reason in the log)
// and no digest can be made (RuntimeError 5 with the reason).
class OpenSslSignatureVerifier : public ISignatureVerifier {
 public:
  // library: libcrypto's entry points; by default the system's, loaded at
  // the first signature or digest (crypto_on_demand.hpp). (Another is a
  // test's stand-in for one that could not be loaded: what the verifier
  // makes is always freed through the system's.)
  explicit OpenSslSignatureVerifier(const CryptoLibrary* library = nullptr) : library_(library) {}

  bool VerifyP256(std::span<const std::uint8_t> message, std::span<const std::uint8_t> signature,
                  std::span<const std::uint8_t> publicKey) override;
  std::unique_ptr<ISha256> NewSha256() override;

 private:
  const CryptoLibrary& Library() const { return library_ ? *library_ : Crypto(); }

  const CryptoLibrary* library_;
};
