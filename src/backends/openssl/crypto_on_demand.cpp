#include "backends/openssl/crypto_on_demand.hpp"

#include "backends/posix/library_on_demand.hpp"

namespace {
// OpenSSL 3's soname: the interface the headers this program is built with
// describe.
constexpr char kLibrary[] = "libcrypto.so.3";

CryptoLibrary Load() {
  CryptoLibrary library;
  LibraryOnDemand crypto(kLibrary);
#define LARKSPIRE_FIND(name) crypto.Find(#name, library.name);
  LARKSPIRE_CRYPTO_ENTRY_POINTS(LARKSPIRE_FIND)
#undef LARKSPIRE_FIND
  if (!crypto.Failure().empty()) return {.failure = crypto.Failure()};
  return library;
}
}  // namespace

const CryptoLibrary& Crypto() {
  static const CryptoLibrary library = Load();
  return library;
}
