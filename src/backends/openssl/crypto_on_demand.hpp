#pragma once
// libcrypto, loaded the first time the program checks a signature, makes a
// digest or looks for the trust store, not when it starts: nothing the
// window shows before the first check needs it (library_on_demand.hpp).
//
// The program is not linked against libcrypto; it calls the few entry
// points it uses through Crypto(), by their own names and with the
// headers' own types.
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/params.h>
#include <openssl/x509.h>

#include <string>

// clang-format off
#define LARKSPIRE_CRYPTO_ENTRY_POINTS(X)                                                             \
  X(EVP_sha256) X(EVP_MD_CTX_new) X(EVP_MD_CTX_free) X(EVP_DigestInit_ex) X(EVP_DigestUpdate)        \
  X(EVP_DigestFinal_ex) X(EVP_DigestVerifyInit) X(EVP_DigestVerify)                                  \
  X(EVP_PKEY_CTX_new_from_name) X(EVP_PKEY_CTX_free) X(EVP_PKEY_fromdata_init) X(EVP_PKEY_fromdata)  \
  X(EVP_PKEY_free) X(OSSL_PARAM_construct_utf8_string) X(OSSL_PARAM_construct_octet_string)          \
  X(OSSL_PARAM_construct_end) X(ECDSA_SIG_new) X(ECDSA_SIG_free) X(ECDSA_SIG_set0) X(i2d_ECDSA_SIG)  \
  X(BN_bin2bn) X(BN_free) X(ERR_clear_error)                                                         \
  X(X509_get_default_cert_file_env) X(X509_get_default_cert_file)                                    \
  X(X509_get_default_cert_dir_env) X(X509_get_default_cert_dir)
// clang-format on

// libcrypto's entry points the program uses: all of them once it is
// loaded; none, and the reason, when it cannot be.
struct CryptoLibrary {
#define LARKSPIRE_DECLARE(name) decltype(&::name) name = nullptr;
  LARKSPIRE_CRYPTO_ENTRY_POINTS(LARKSPIRE_DECLARE)
#undef LARKSPIRE_DECLARE
  std::string failure;  // "" once loaded
};

// The library, loaded on the first call: tried once per run, safe from any
// thread (the hashing beside a download runs on a thread of its own).
const CryptoLibrary& Crypto();
