#pragma once
#include "platform/signature_verifier.hpp"

// ECDSA P-256 and SHA-256 from the system's CNG (bcrypt).
class Win32SignatureVerifier : public ISignatureVerifier {
 public:
  bool VerifyP256(std::span<const std::uint8_t> message, std::span<const std::uint8_t> signature,
                  std::span<const std::uint8_t> publicKey) override;
  std::unique_ptr<ISha256> NewSha256() override;
};
