#include "signing_key.hpp"

#include <fcntl.h>
#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "publish_error.hpp"
#include "support/base64.hpp"

namespace {
// The first reason OpenSSL gave, for the one line the tool prints.
std::string OpenSslReason() {
  const unsigned long e = ERR_get_error();
  ERR_clear_error();
  char text[256] = "unknown reason";
  if (e) ERR_error_string_n(e, text, sizeof text);
  return text;
}

std::string PublicPointBase64(EVP_PKEY* key) {
  std::uint8_t point[65];
  std::size_t n = 0;
  if (EVP_PKEY_get_octet_string_param(key, OSSL_PKEY_PARAM_PUB_KEY, point, sizeof point, &n) != 1 || n != 65 ||
      point[0] != 0x04)
    WriteFailed("cannot take the key's public point: " + OpenSslReason());
  return EncodeBase64(point);
}

bool IsP256(EVP_PKEY* key) {
  char group[64] = {};
  return EVP_PKEY_is_a(key, "EC") &&
         EVP_PKEY_get_utf8_string_param(key, OSSL_PKEY_PARAM_GROUP_NAME, group, sizeof group, nullptr) == 1 &&
         std::string(group) == "prime256v1";
}

void WriteAll(int fd, const char* data, std::size_t n, const std::string& path) {
  while (n > 0) {
    const ssize_t w = write(fd, data, n);
    if (w < 0 && errno == EINTR) continue;
    if (w < 0) WriteFailed("cannot write the key " + path + ": " + std::strerror(errno));
    data += w;
    n -= static_cast<std::size_t>(w);
  }
}
}  // namespace

struct SigningKey::Key {
  EVP_PKEY* pkey = nullptr;
  ~Key() { EVP_PKEY_free(pkey); }
};

std::string GenerateSigningKey(const std::string& path) {
  const std::unique_ptr<EVP_PKEY, void (*)(EVP_PKEY*)> key(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"),
                                                           EVP_PKEY_free);
  if (!key) WriteFailed("cannot make a P-256 key: " + OpenSslReason());
  BIO* pem = BIO_new(BIO_s_mem());
  char* text = nullptr;
  long length = 0;
  if (!pem || PEM_write_bio_PKCS8PrivateKey(pem, key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1 ||
      (length = BIO_get_mem_data(pem, &text)) <= 0) {
    BIO_free(pem);
    WriteFailed("cannot write the key as PKCS#8: " + OpenSslReason());
  }
  const std::string bytes(text, static_cast<std::size_t>(length));
  OPENSSL_cleanse(text, static_cast<std::size_t>(length));
  BIO_free(pem);

  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0 && errno == EEXIST) BadInput("the key file " + path + " exists already; it is never overwritten");
  if (fd < 0) WriteFailed("cannot create the key file " + path + ": " + std::strerror(errno));
  try {
    // The mode given to open is narrowed by the umask, never widened.
    if (fchmod(fd, 0600) != 0) WriteFailed("cannot make the key file " + path + " private: " + std::strerror(errno));
    WriteAll(fd, bytes.data(), bytes.size(), path);
    if (fsync(fd) != 0 || close(fd) != 0) WriteFailed("cannot write the key " + path + ": " + std::strerror(errno));
  } catch (...) {
    close(fd);
    unlink(path.c_str());
    throw;
  }
  return PublicPointBase64(key.get());
}

SigningKey::SigningKey(const std::string& path) : key_(std::make_unique<Key>()) {
  FILE* file = std::fopen(path.c_str(), "rbe");
  if (!file) BadInput("cannot read the key " + path + ": " + std::strerror(errno));
  struct stat st {};
  if (fstat(fileno(file), &st) != 0 || !S_ISREG(st.st_mode)) {
    std::fclose(file);
    BadInput("the key " + path + " is not a file");
  }
  if (st.st_mode & (S_IRWXG | S_IRWXO)) {
    std::fclose(file);
    BadInput("the key " + path + " is open to group or others (mode " + std::to_string((st.st_mode >> 6) & 7) +
             std::to_string((st.st_mode >> 3) & 7) + std::to_string(st.st_mode & 7) + "); chmod 600 it");
  }
  key_->pkey = PEM_read_PrivateKey(file, nullptr, nullptr, nullptr);
  std::fclose(file);
  if (!key_->pkey) BadInput("the key " + path + " is not a PEM secret key: " + OpenSslReason());
  if (!IsP256(key_->pkey)) BadInput("the key " + path + " is not a P-256 key");
  // A damaged file can still parse: its public half must be its secret's, or
  // every catalog it signs fails under the key it prints.
  EVP_PKEY_CTX* check = EVP_PKEY_CTX_new_from_pkey(nullptr, key_->pkey, nullptr);
  const bool whole = check && EVP_PKEY_pairwise_check(check) == 1;
  EVP_PKEY_CTX_free(check);
  if (!whole) BadInput("the key " + path + " is damaged: its public half is not its secret's: " + OpenSslReason());
}

SigningKey::~SigningKey() = default;

std::vector<std::uint8_t> SigningKey::Sign(std::string_view bytes) const {
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  std::vector<unsigned char> der(EVP_PKEY_get_size(key_->pkey));
  std::size_t derLength = der.size();
  const bool signedOk = ctx && EVP_DigestSignInit(ctx, nullptr, EVP_sha256(), nullptr, key_->pkey) == 1 &&
                        EVP_DigestSign(ctx, der.data(), &derLength,
                                       reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()) == 1;
  EVP_MD_CTX_free(ctx);
  if (!signedOk) WriteFailed("cannot sign the catalog: " + OpenSslReason());

  // The DER form OpenSSL gives, as the raw r || s the catalog carries.
  const unsigned char* in = der.data();
  ECDSA_SIG* sig = d2i_ECDSA_SIG(nullptr, &in, static_cast<long>(derLength));
  std::vector<std::uint8_t> raw(64);
  const bool split = sig && BN_bn2binpad(ECDSA_SIG_get0_r(sig), raw.data(), 32) == 32 &&
                     BN_bn2binpad(ECDSA_SIG_get0_s(sig), raw.data() + 32, 32) == 32;
  ECDSA_SIG_free(sig);
  if (!split) WriteFailed("cannot read back the signature: " + OpenSslReason());
  return raw;
}

std::string SigningKey::PublicKeyBase64() const { return PublicPointBase64(key_->pkey); }
