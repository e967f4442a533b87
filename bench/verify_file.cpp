// Runs the wizard's integrity check (over the real file services) on one file and prints how long it
// took:
//   larkspire-verify-file FILE PRODUCT-FOLDER CRC
//     the check as the wizard runs it today (CRC-32, then the copy);
//   larkspire-verify-file --digests FILE PRODUCT-FOLDER CRC SHA256
//     CRC-32 and SHA-256 from one read of the file (FileDigests, OpenSSL's
//     SHA-256), then the same copy into the folder.
// Exits 0 when the file matched and was copied, 1 when not, 2 on wrong use.
#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "backends/openssl/signature_verifier.hpp"
#include "backends/posix/file_system.hpp"
#include "fakes/fake_platform.hpp"
#include "install/installer_handoff.hpp"
#include "install/integrity.hpp"

namespace {
std::string ProgramPath(const char* native) {
  return PosixFileSystem::FromNative(std::filesystem::absolute(native).string());
}

void PrintSince(std::chrono::steady_clock::time_point start) {
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  std::printf("%.6f\n", took.count());
}

int Digests(char** argv) {
  PosixFileSystem files;
  OpenSslSignatureVerifier verifier;
  const std::string file = ProgramPath(argv[2]);
  const std::string copy = ProgramPath(argv[3]) + "\\" + std::filesystem::path(argv[2]).filename().string();
  const auto start = std::chrono::steady_clock::now();
  const auto digests = FileDigests(files, verifier, file);
  if (!digests || FormatCrc(digests->crc) != argv[4] || FormatSha256(digests->sha256) != argv[5]) {
    std::fprintf(stderr, "the file's CRC-32 or SHA-256 differs\n");
    return 1;
  }
  files.FileCopy(file, copy);
  PrintSince(start);
  return 0;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc == 6 && std::strcmp(argv[1], "--digests") == 0) return Digests(argv);
  if (argc != 4) {
    std::fprintf(stderr,
                 "usage: larkspire-verify-file FILE PRODUCT-FOLDER CRC\n"
                 "       larkspire-verify-file --digests FILE PRODUCT-FOLDER CRC SHA256\n");
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);  // the tests' platform holds a window
  QApplication app(argc, argv);
  FakePlatform fake;
  ComponentTableType table(2);
  table[1].sFileName = std::filesystem::path(argv[1]).filename().string();
  table[1].sCrc = argv[3];
  InstallerHandoff check(fake.services, table);
  check.Installed.AppPath = ProgramPath(argv[2]);
  if (check.Installed.AppPath.back() != '\\') check.Installed.AppPath += '\\';

  const std::string file = ProgramPath(argv[1]);
  const auto start = std::chrono::steady_clock::now();
  const bool ok = check.VerifyDownload(file);
  PrintSince(start);
  return ok ? 0 : 1;
}
