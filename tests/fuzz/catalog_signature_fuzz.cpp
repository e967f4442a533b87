// Any bytes as a catalog with its signature trailer: the check never
// crashes, gives a reason exactly when it refuses, signs no byte beyond the
// file, and strict base64 has one spelling (what decodes encodes back to the
// same text).
#include "catalog/catalog_signature.hpp"
#include "fuzz_input.hpp"

void Fuzz(const std::uint8_t*, std::size_t size, std::string_view text) {
  static OpenSslSignatureVerifier verifier;
  static const std::vector<std::string> keys = {
      "BFRg8g78eENep6i74TVO1lKgh7sLwR7XHb/Aut0iQGb8/3CtftW3h38kSmhSGEYYyd9wgBIbx1pCw1+BQBziCUA="};
  const auto check = CheckCatalogSignature(text, keys, verifier);
  const bool verified = check.status == SignatureStatus::Verified;
  const auto decoded = DecodeBase64(text);
  Check(check.why.empty() == verified && check.signedLength <= size && verified == (check.keyIndex == 0) &&
        (!decoded || EncodeBase64(*decoded) == text));
}
