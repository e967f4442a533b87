// The signature check and SHA-256 on fixed vectors, alike for OpenSSL (the
// Linux build) and CNG (the Windows build, under Wine). ECDSA itself takes
// both s and n - s; so do both backends, so a catalog's answer never depends
// on which build reads it.
#include <gtest/gtest.h>

#include "fakes/p256_vectors.hpp"
#include "install/integrity.hpp"
#ifdef _WIN32
#include "backends/win32/signature_verifier.hpp"
using Verifier = Win32SignatureVerifier;
#else
#include "backends/openssl/signature_verifier.hpp"
using Verifier = OpenSslSignatureVerifier;
#endif

using namespace p256;

TEST(SignatureVerifier, AcceptsOnlyTheKeysOwnSignatureOverTheExactBytes) {
  const std::string r(kR), s(kS), n(kOrder), k1(kKey1), zero(64, '0'), text(kSignedText);
  // clang-format off
  struct Row {
    const char* situation;
    std::string message, signature, key;
    bool accepted;
  } rows[] = {
      {"the good signature", text, r + s, k1, true}, {"s replaced by n - s (high s)", text, r + std::string(kHighS), k1, true},
      {"one message byte changed", "[setup]\r\nenabled=2\r\n", r + s, k1, false},
      {"one signature byte changed", text, "1d" + r.substr(2) + s, k1, false},
      {"the other key", text, r + s, std::string(kKey2), false},
      {"a point not on the curve", text, r + s, k1.substr(0, 128) + "41", false},
      {"a point marked compressed", text, r + s, "02" + k1.substr(2), false},
      {"r = 0", text, zero + s, k1, false}, {"s = 0", text, r + zero, k1, false}, {"r = n", text, n + s, k1, false},
      {"s = n", text, r + n, k1, false}, {"s = 2^256 - 1", text, r + std::string(64, 'f'), k1, false},
      {"a signature one byte short", text, r + s.substr(2), k1, false}, {"a key one byte short", text, r + s, k1.substr(2), false}};
  // clang-format on
  Verifier verifier;
  for (const Row& row : rows) {
    const std::span message(reinterpret_cast<const std::uint8_t*>(row.message.data()), row.message.size());
    EXPECT_EQ(verifier.VerifyP256(message, FromHex(row.signature), FromHex(row.key)), row.accepted) << row.situation;
  }
}

TEST(SignatureVerifier, Sha256InPiecesIsTheDigestOfTheWhole) {
  const char* const abc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
  // clang-format off
  struct Row {
    std::string data;
    std::size_t piece;
    const char* digest;
  } rows[] = {{"", 1, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"}, {"abc", 1, abc}, {"abc", 3, abc},
              {std::string(1000000, 'a'), 999, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"}};
  // clang-format on
  Verifier verifier;
  for (const Row& row : rows) {
    const auto sha = verifier.NewSha256();
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(row.data.data());
    for (std::size_t at = 0; at < row.data.size(); at += row.piece)
      sha->Update(std::span(bytes + at, std::min(row.piece, row.data.size() - at)));
    EXPECT_EQ(FormatSha256(sha->Finish()), row.digest) << row.data.size() << " bytes in pieces of " << row.piece;
  }
}

#ifndef _WIN32
// Without a libcrypto that loads, even the good signature is refused (nothing
// signed is trusted unchecked) and no digest is made, the reason given.
TEST(SignatureVerifier, RefusesEverythingWithoutItsLibrary) {
  const CryptoLibrary missing{.failure = "libcrypto.so.3: cannot open shared object file"};
  Verifier verifier(&missing);
  const std::string text(kSignedText);
  const std::span message(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  EXPECT_FALSE(verifier.VerifyP256(message, FromHex(std::string(kR) + std::string(kS)), FromHex(std::string(kKey1))));
  std::string said;
  try {
    verifier.NewSha256();
  } catch (const std::exception& e) {
    said = e.what();
  }
  EXPECT_NE(said.find("libcrypto.so.3: cannot open"), std::string::npos) << said;
}
#endif
