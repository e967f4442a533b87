// The catalog's signature trailer, checked with the real verifier against
// the fixed vectors' keys.
#include "catalog/catalog_signature.hpp"

#include <gtest/gtest.h>

#include "backends/openssl/signature_verifier.hpp"
#include "fakes/p256_vectors.hpp"
#include "support/base64.hpp"

using namespace p256;

TEST(CatalogSignature, TheTrailerMustEndTheFileAndVerifyUnderABuiltInKey) {
  const std::string body(kSignedText), b64 = EncodeBase64(FromHex(std::string(kR) + std::string(kS))),
                                       k1 = EncodeBase64(FromHex(kKey1)), k2 = EncodeBase64(FromHex(kKey2)),
                                       head = "[signature]\r\np256=", trailer = head + b64 + "\r\n";
  using S = SignatureStatus;
  struct Row {
    const char* situation;
    std::string file;
    std::vector<std::string> keys;
    S status;
    int keyIndex;
  } rows[] = {
      {"signed by the current key", body + trailer, {k1}, S::Verified, 0},
      {"signed by the next key of a rotation", body + trailer, {k2, k1}, S::Verified, 1},
      {"one byte of the body changed", "[setup]\r\nenabled=0\r\n" + trailer, {k1}, S::NoKeyVerifies, -1},
      {"signed by a key not built in", body + trailer, {k2}, S::NoKeyVerifies, -1},
      {"a key that is not base64", body + trailer, {"not a key", k2}, S::NoKeyVerifies, -1},
      {"no trailer", body, {k1}, S::MissingTrailer, -1},
      {"an empty file", "", {k1}, S::MissingTrailer, -1},
      {"a line after the trailer", body + trailer + "x=1\r\n", {k1}, S::MalformedTrailer, -1},
      {"no line end after the trailer", body + head + b64, {k1}, S::MalformedTrailer, -1},
      {"line feeds alone", body + "[signature]\np256=" + b64 + "\n", {k1}, S::MalformedTrailer, -1},
      {"a key other than p256", body + "[signature]\r\np384=" + b64 + "\r\n", {k1}, S::MalformedTrailer, -1},
      {"the section inside a line", "[setup]\r\nenabled=1" + trailer, {k1}, S::MalformedTrailer, -1},
      {"the value over two lines",
       body + head + b64.substr(0, 40) + "\r\n" + b64.substr(40) + "\r\n",
       {k1},
       S::MalformedTrailer,
       -1},
      {"a character outside the alphabet", body + head + "*" + b64.substr(1) + "\r\n", {k1}, S::BadBase64, -1},
      {"a blank in the value", body + head + " " + b64 + "\r\n", {k1}, S::BadBase64, -1},
      {"a signature of 63 bytes", body + head + b64.substr(0, 84) + "\r\n", {k1}, S::BadBase64, -1},
  };
  OpenSslSignatureVerifier verifier;
  for (const Row& row : rows) {
    const auto check = CheckCatalogSignature(
        std::span(reinterpret_cast<const std::uint8_t*>(row.file.data()), row.file.size()), row.keys, verifier);
    EXPECT_EQ(check.status, row.status) << row.situation;
    EXPECT_EQ(check.keyIndex, row.keyIndex) << row.situation;
    EXPECT_EQ(check.why.empty(), row.status == S::Verified) << row.situation << ": " << check.why;
    if (row.status == S::Verified) {
      EXPECT_EQ(check.signedLength, body.size()) << row.situation;
    }
  }
  EXPECT_EQ(SignatureTrailer(FromHex(std::string(kR) + std::string(kS))), trailer);
  EXPECT_EQ(trailer.size(), kSignatureTrailerSize);
}
