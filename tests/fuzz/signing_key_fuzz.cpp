// Any bytes as the maker's key file (private to its owner, as the tool
// wants it): a file that is no P-256 secret key raises the tool's BadInput
// and nothing else; a key that is read signs what the wizard's own check
// then verifies under the public half the key reports.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "backends/openssl/signature_verifier.hpp"
#include "publish_error.hpp"
#include "signing_key.hpp"
#include "support/base64.hpp"

namespace {
// One file for every input, made with mode 0600 and removed at the end.
// Without a terminal of its own, an encrypted key is refused at once
// instead of having its pass phrase asked on the one the fuzzer runs in.
const std::string path = [] {
  if (const int tty = open("/dev/tty", O_RDWR); tty >= 0) ioctl(tty, TIOCNOTTY), close(tty);
  if (!std::freopen("/dev/null", "r", stdin)) std::abort();  // where OpenSSL asks without one
  char name[] = "/tmp/larkspire-key-fuzz-XXXXXX";
  close(mkstemp(name));
  std::atexit([] { unlink(path.c_str()); });
  return std::string(name);
}();
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) std::abort();
  try {
    const SigningKey key(path);
    const std::string catalog = "[setup]\r\nurl=http://127.0.0.1/browser/setup.exe\r\n";
    const std::vector<std::uint8_t> signature = key.Sign(catalog);
    const auto point = DecodeBase64(key.PublicKeyBase64());
    OpenSslSignatureVerifier verifier;
    if (!point || !verifier.VerifyP256(std::span(reinterpret_cast<const std::uint8_t*>(catalog.data()), catalog.size()),
                                       signature, *point))
      std::abort();
  } catch (const PublishError& e) {
    if (e.ExitStatus() != PublishError::BadInput) std::abort();
  }
  return 0;
}
