#include "backends/openssl/signature_verifier.hpp"

#include <openssl/core_names.h>

#include <vector>

#include "backends/openssl/crypto_on_demand.hpp"
#include "support/diagnostics.hpp"
#include "support/runtime_error.hpp"

namespace {
template <auto Free>
struct Deleter {
  template <class T>
  void operator()(T* p) const {
    (Crypto().*Free)(p);
  }
};
using PkeyCtx = std::unique_ptr<EVP_PKEY_CTX, Deleter<&CryptoLibrary::EVP_PKEY_CTX_free>>;
using Pkey = std::unique_ptr<EVP_PKEY, Deleter<&CryptoLibrary::EVP_PKEY_free>>;
using MdCtx = std::unique_ptr<EVP_MD_CTX, Deleter<&CryptoLibrary::EVP_MD_CTX_free>>;
using EcdsaSig = std::unique_ptr<ECDSA_SIG, Deleter<&CryptoLibrary::ECDSA_SIG_free>>;

// The key from its uncompressed point; OpenSSL refuses a point that is not
// on the curve.
Pkey PublicKeyFromPoint(const CryptoLibrary& c, std::span<const std::uint8_t> point) {
  if (point.size() != ISignatureVerifier::kPublicKeySize || point[0] != 0x04) return nullptr;
  char group[] = "prime256v1";
  OSSL_PARAM params[] = {c.OSSL_PARAM_construct_utf8_string(OSSL_PKEY_PARAM_GROUP_NAME, group, 0),
                         c.OSSL_PARAM_construct_octet_string(OSSL_PKEY_PARAM_PUB_KEY,
                                                             const_cast<std::uint8_t*>(point.data()), point.size()),
                         c.OSSL_PARAM_construct_end()};
  const PkeyCtx ctx(c.EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
  EVP_PKEY* key = nullptr;
  if (!ctx || c.EVP_PKEY_fromdata_init(ctx.get()) != 1 ||
      c.EVP_PKEY_fromdata(ctx.get(), &key, EVP_PKEY_PUBLIC_KEY, params) != 1)
    return nullptr;
  return Pkey(key);
}

// The raw r || s in the DER form EVP_DigestVerify takes; the range of r and
// s is OpenSSL's to check.
std::vector<unsigned char> DerSignature(const CryptoLibrary& c, std::span<const std::uint8_t> raw) {
  EcdsaSig sig(c.ECDSA_SIG_new());
  BIGNUM* r = c.BN_bin2bn(raw.data(), 32, nullptr);
  BIGNUM* s = c.BN_bin2bn(raw.data() + 32, 32, nullptr);
  if (!sig || !r || !s || c.ECDSA_SIG_set0(sig.get(), r, s) != 1) {
    c.BN_free(r);
    c.BN_free(s);
    return {};
  }
  std::vector<unsigned char> der(static_cast<std::size_t>(c.i2d_ECDSA_SIG(sig.get(), nullptr)));
  unsigned char* out = der.data();
  if (der.empty() || c.i2d_ECDSA_SIG(sig.get(), &out) != static_cast<int>(der.size())) return {};
  return der;
}

class OpenSslSha256 : public ISha256 {
 public:
  explicit OpenSslSha256(const CryptoLibrary& library) : c(library) {
    if (!c.failure.empty()) throw RuntimeError(ErrNo::InvalidArgument, "OpenSSL cannot compute SHA-256: " + c.failure);
    ctx_.reset(c.EVP_MD_CTX_new());
    if (!ctx_ || c.EVP_DigestInit_ex(ctx_.get(), c.EVP_sha256(), nullptr) != 1)
      throw RuntimeError(ErrNo::InvalidArgument, "OpenSSL cannot compute SHA-256");
  }
  void Update(std::span<const std::uint8_t> piece) override {
    c.EVP_DigestUpdate(ctx_.get(), piece.data(), piece.size());
  }
  Sha256Digest Finish() override {
    Sha256Digest digest{};
    c.EVP_DigestFinal_ex(ctx_.get(), digest.data(), nullptr);
    return digest;
  }

 private:
  const CryptoLibrary& c;
  MdCtx ctx_;
};
}  // namespace

bool OpenSslSignatureVerifier::VerifyP256(std::span<const std::uint8_t> message,
                                          std::span<const std::uint8_t> signature,
                                          std::span<const std::uint8_t> publicKey) {
  if (signature.size() != kSignatureSize) return false;
  const CryptoLibrary& c = Library();
  if (!c.failure.empty()) {
    // Nothing signed can be trusted without it: a refusal, with the reason.
    LogFailure(LogArea::Catalog, "the maker's signature cannot be checked: " + c.failure);
    return false;
  }
  const Pkey key = PublicKeyFromPoint(c, publicKey);
  const std::vector<unsigned char> der = DerSignature(c, signature);
  const MdCtx ctx(c.EVP_MD_CTX_new());
  const bool good = key && !der.empty() && ctx &&
                    c.EVP_DigestVerifyInit(ctx.get(), nullptr, c.EVP_sha256(), nullptr, key.get()) == 1 &&
                    c.EVP_DigestVerify(ctx.get(), der.data(), der.size(), message.data(), message.size()) == 1;
  // A refusal is an answer, not an error: leave nothing behind in the
  // thread's error queue for the next user of OpenSSL to trip over.
  c.ERR_clear_error();
  return good;
}

std::unique_ptr<ISha256> OpenSslSignatureVerifier::NewSha256() { return std::make_unique<OpenSslSha256>(Library()); }
