// Any bytes as the maker's key file (private to its owner, as the tool
// wants it): a file that is no P-256 secret key raises the tool's BadInput
// and nothing else; a key that is read signs what the wizard's own check
// then verifies under the public half the key reports.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "fuzz_input.hpp"
#include "publish_error.hpp"
#include "signing_key.hpp"

// One file for every input, made with mode 0600 and removed at the end.
// Without a terminal of its own, an encrypted key is refused at once
// instead of having its pass phrase asked on the one the fuzzer runs in.
const std::string path = [] {
  if (const int tty = open("/dev/tty", O_RDWR); tty >= 0) ioctl(tty, TIOCNOTTY), close(tty);
  Check(std::freopen("/dev/null", "r", stdin));  // where OpenSSL asks without one
  char name[] = "/tmp/larkspire-key-fuzz-XXXXXX";
  close(mkstemp(name));
  std::atexit([] { unlink(path.c_str()); });
  return std::string(name);
}();

void Fuzz(const std::uint8_t* data, std::size_t size, std::string_view) {
  FILE* file = std::fopen(path.c_str(), "wb");
  Check(file && std::fwrite(data, 1, size, file) == size && std::fclose(file) == 0);
  try {
    const SigningKey key(path);
    const std::string_view catalog = "[setup]\r\nurl=http://127.0.0.1/browser/setup.exe\r\n";
    const auto point = DecodeBase64(key.PublicKeyBase64());
    Check(point && OpenSslSignatureVerifier().VerifyP256(
                       std::span(reinterpret_cast<const std::uint8_t*>(catalog.data()), catalog.size()),
                       key.Sign(catalog), *point));
  } catch (const PublishError& e) {
    Check(e.ExitStatus() == PublishError::BadInput);
  }
}
