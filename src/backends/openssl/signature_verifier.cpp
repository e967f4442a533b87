#include "backends/openssl/signature_verifier.hpp"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/evp.h>

#include <vector>

#include "support/runtime_error.hpp"

namespace {
template <auto Free>
struct Deleter {
  template <class T>
  void operator()(T* p) const {
    Free(p);
  }
};
using PkeyCtx = std::unique_ptr<EVP_PKEY_CTX, Deleter<EVP_PKEY_CTX_free>>;
using Pkey = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY_free>>;
using MdCtx = std::unique_ptr<EVP_MD_CTX, Deleter<EVP_MD_CTX_free>>;
using EcdsaSig = std::unique_ptr<ECDSA_SIG, Deleter<ECDSA_SIG_free>>;

// The key from its uncompressed point; OpenSSL refuses a point that is not
// on the curve.
Pkey PublicKeyFromPoint(std::span<const std::uint8_t> point) {
  if (point.size() != ISignatureVerifier::kPublicKeySize || point[0] != 0x04) return nullptr;
  char group[] = "prime256v1";
  OSSL_PARAM params[] = {
      OSSL_PARAM_construct_utf8_string(OSSL_PKEY_PARAM_GROUP_NAME, group, 0),
      OSSL_PARAM_construct_octet_string(OSSL_PKEY_PARAM_PUB_KEY, const_cast<std::uint8_t*>(point.data()), point.size()),
      OSSL_PARAM_construct_end()};
  const PkeyCtx ctx(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
  EVP_PKEY* key = nullptr;
  if (!ctx || EVP_PKEY_fromdata_init(ctx.get()) != 1 ||
      EVP_PKEY_fromdata(ctx.get(), &key, EVP_PKEY_PUBLIC_KEY, params) != 1)
    return nullptr;
  return Pkey(key);
}

// The raw r || s in the DER form EVP_DigestVerify takes; the range of r and
// s is OpenSSL's to check.
std::vector<unsigned char> DerSignature(std::span<const std::uint8_t> raw) {
  EcdsaSig sig(ECDSA_SIG_new());
  BIGNUM* r = BN_bin2bn(raw.data(), 32, nullptr);
  BIGNUM* s = BN_bin2bn(raw.data() + 32, 32, nullptr);
  if (!sig || !r || !s || ECDSA_SIG_set0(sig.get(), r, s) != 1) {
    BN_free(r);
    BN_free(s);
    return {};
  }
  std::vector<unsigned char> der(static_cast<std::size_t>(i2d_ECDSA_SIG(sig.get(), nullptr)));
  unsigned char* out = der.data();
  if (der.empty() || i2d_ECDSA_SIG(sig.get(), &out) != static_cast<int>(der.size())) return {};
  return der;
}

class OpenSslSha256 : public ISha256 {
 public:
  OpenSslSha256() : ctx_(EVP_MD_CTX_new()) {
    if (!ctx_ || EVP_DigestInit_ex(ctx_.get(), EVP_sha256(), nullptr) != 1)
      throw RuntimeError(ErrNo::InvalidArgument, "OpenSSL cannot compute SHA-256");
  }
  void Update(std::span<const std::uint8_t> piece) override {
    EVP_DigestUpdate(ctx_.get(), piece.data(), piece.size());
  }
  Sha256Digest Finish() override {
    Sha256Digest digest{};
    EVP_DigestFinal_ex(ctx_.get(), digest.data(), nullptr);
    return digest;
  }

 private:
  MdCtx ctx_;
};
}  // namespace

bool OpenSslSignatureVerifier::VerifyP256(std::span<const std::uint8_t> message,
                                          std::span<const std::uint8_t> signature,
                                          std::span<const std::uint8_t> publicKey) {
  if (signature.size() != kSignatureSize) return false;
  const Pkey key = PublicKeyFromPoint(publicKey);
  const std::vector<unsigned char> der = DerSignature(signature);
  const MdCtx ctx(EVP_MD_CTX_new());
  const bool good = key && !der.empty() && ctx &&
                    EVP_DigestVerifyInit(ctx.get(), nullptr, EVP_sha256(), nullptr, key.get()) == 1 &&
                    EVP_DigestVerify(ctx.get(), der.data(), der.size(), message.data(), message.size()) == 1;
  // A refusal is an answer, not an error: leave nothing behind in the
  // thread's error queue for the next user of OpenSSL to trip over.
  ERR_clear_error();
  return good;
}

std::unique_ptr<ISha256> OpenSslSignatureVerifier::NewSha256() { return std::make_unique<OpenSslSha256>(); }
