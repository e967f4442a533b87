#include "catalog/catalog_signature.hpp"

#include <algorithm>

#include "support/base64.hpp"

namespace {
constexpr std::string_view kSection = "[signature]";
constexpr std::string_view kLineEnd = "\r\n";

CatalogSignatureCheck Refused(SignatureStatus status, std::string why, std::size_t signedLength = 0) {
  return {status, std::move(why), signedLength, -1};
}
}  // namespace

CatalogSignatureCheck CheckCatalogSignature(std::span<const std::uint8_t> file, const std::vector<std::string>& keys,
                                            ISignatureVerifier& verifier) {
  const std::string_view text(reinterpret_cast<const char*>(file.data()), file.size());
  const std::size_t at = text.rfind(kSection);
  if (at == std::string_view::npos)
    return Refused(SignatureStatus::MissingTrailer, "the catalog has no [signature] trailer");

  // The trailer is the file's last two lines, and begins a line of its own.
  const std::string_view head = kSignatureTrailerHead;
  const std::string_view rest = text.substr(at);
  const bool shaped = (at == 0 || text[at - 1] == '\n') && rest.starts_with(head) && rest.ends_with(kLineEnd) &&
                      rest.size() >= head.size() + kLineEnd.size() &&
                      rest.substr(head.size(), rest.size() - head.size() - kLineEnd.size()).find_first_of("\r\n") ==
                          std::string_view::npos;
  if (!shaped)
    return Refused(SignatureStatus::MalformedTrailer,
                   "the catalog's [signature] trailer is malformed: it must end the file with the lines "
                   "\"[signature]\" and \"p256=\" followed by the signature",
                   at);

  const std::string_view value = rest.substr(head.size(), rest.size() - head.size() - kLineEnd.size());
  const auto signature = DecodeBase64(value);
  if (!signature || signature->size() != ISignatureVerifier::kSignatureSize)
    return Refused(
        SignatureStatus::BadBase64,
        "the catalog's signature \"" + std::string(value.substr(0, 100)) + "\" is not the strict base64 of 64 bytes",
        at);

  const auto signedPart = file.first(at);
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const auto key = DecodeBase64(keys[i]);
    if (key && verifier.VerifyP256(signedPart, *signature, *key))
      return {SignatureStatus::Verified, "", at, static_cast<int>(i)};
  }
  return Refused(SignatureStatus::NoKeyVerifies,
                 "the catalog's signature verifies under none of the " + std::to_string(keys.size()) +
                     " public keys built into this program",
                 at);
}

std::string SignatureTrailer(std::span<const std::uint8_t> signature) {
  return std::string(kSignatureTrailerHead) + EncodeBase64(signature) + std::string(kLineEnd);
}
