#pragma once
// The maker's P-256 secret key: made once, kept private, used to sign each
// catalog. The wizard holds only the public half (LARKSPIRE_UPDATE_PUBLIC_KEYS).
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Makes a new key and writes it to path as PKCS#8 PEM, in a file created
// exclusively (never over an existing file or link) with mode 0600.
// Returns the base64 of its public point. Raises PublishError: BadInput
// when path exists, WriteFailed when the key cannot be made or written.
std::string GenerateSigningKey(const std::string& path);

class SigningKey {
 public:
  // Reads the key at path. Raises PublishError (BadInput) when it cannot be
  // read, is readable by group or others, or is not a P-256 key.
  explicit SigningKey(const std::string& path);
  ~SigningKey();
  SigningKey(const SigningKey&) = delete;
  SigningKey& operator=(const SigningKey&) = delete;

  // The 64-byte r || s signature over the SHA-256 of bytes. Raises
  // PublishError (WriteFailed).
  std::vector<std::uint8_t> Sign(std::string_view bytes) const;
  // The base64 of the public point, as the build setting holds it.
  std::string PublicKeyBase64() const;

 private:
  struct Key;
  std::unique_ptr<Key> key_;
};
