#pragma once
// The maker's signature at the end of the update-information file: the
// file ends with the lines "[signature]" and "p256=" + the base64 of the
// 64-byte ECDSA P-256 signature (r || s) over the SHA-256 of every byte
// before "[signature]". Older readers see one more section and ignore it.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/signature_verifier.hpp"

// What the trailer begins with; the signature's base64 and CR LF follow.
inline constexpr std::string_view kSignatureTrailerHead = "[signature]\r\np256=";
// The length of the whole trailer: its head, 88 characters of base64, CR LF.
inline constexpr std::size_t kSignatureTrailerSize = kSignatureTrailerHead.size() + 88 + 2;

enum class SignatureStatus { Verified, MissingTrailer, MalformedTrailer, BadBase64, NoKeyVerifies };

struct CatalogSignatureCheck {
  SignatureStatus status = SignatureStatus::MissingTrailer;
  // Why the file is refused, as one line for the log; "" when verified.
  std::string why;
  // How many bytes from the start are signed (those before the trailer);
  // 0 when no trailer was found.
  std::size_t signedLength = 0;
  // The index in the keys of the one that verified; -1 when none did.
  int keyIndex = -1;
};

// Checks the signature trailer of a whole file's bytes against keys (each
// the base64 of a 65-byte uncompressed point, as BuiltInUpdateKeys gives
// them; one that does not decode verifies nothing). Never raises.
CatalogSignatureCheck CheckCatalogSignature(std::span<const std::uint8_t> file, const std::vector<std::string>& keys,
                                            ISignatureVerifier& verifier);
// The same for a file held as text.
inline CatalogSignatureCheck CheckCatalogSignature(std::string_view file, const std::vector<std::string>& keys,
                                                   ISignatureVerifier& verifier) {
  return CheckCatalogSignature(std::span(reinterpret_cast<const std::uint8_t*>(file.data()), file.size()), keys,
                               verifier);
}

// The trailer for a 64-byte signature, to append to the signed bytes.
std::string SignatureTrailer(std::span<const std::uint8_t> signature);
