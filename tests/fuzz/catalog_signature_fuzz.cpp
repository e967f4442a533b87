// Any bytes as a catalog with its signature trailer: the check never
// crashes, gives a reason exactly when it refuses, signs no byte beyond the
// file, and strict base64 has one spelling (what decodes encodes back to the
// same text).
#include <cstdlib>

#include "backends/openssl/signature_verifier.hpp"
#include "catalog/catalog_signature.hpp"
#include "support/base64.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static OpenSslSignatureVerifier verifier;
  static const std::vector<std::string> keys = {
      "BFRg8g78eENep6i74TVO1lKgh7sLwR7XHb/Aut0iQGb8/3CtftW3h38kSmhSGEYYyd9wgBIbx1pCw1+BQBziCUA="};
  const auto check = CheckCatalogSignature(std::span(data, size), keys, verifier);
  const bool verified = check.status == SignatureStatus::Verified;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto decoded = DecodeBase64(text);
  if (check.why.empty() != verified || check.signedLength > size || verified != (check.keyIndex == 0) ||
      (decoded && EncodeBase64(*decoded) != text))
    std::abort();
  return 0;
}
