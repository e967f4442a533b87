#pragma once
#include "platform/signature_verifier.hpp"

// ECDSA P-256 and SHA-256 from OpenSSL 3 (EVP), which picks the
// processor's SHA extensions or vector units for the digest.
class OpenSslSignatureVerifier : public ISignatureVerifier {
 public:
  bool VerifyP256(std::span<const std::uint8_t> message, std::span<const std::uint8_t> signature,
                  std::span<const std::uint8_t> publicKey) override;
  std::unique_ptr<ISha256> NewSha256() override;
};
