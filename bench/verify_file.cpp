// The wizard's road from a package's last byte to the installer, over the
// real file services, timed:
//   larkspire-verify-file PACKAGE DOWNLOAD PRODUCT-FOLDER CRC SHA256
// First PACKAGE arrives as DOWNLOAD the way a read service stores it: in
// blocks of 512 KiB, each handed to the digests made on arrival. Then the
// check (VerifyDownload: the digests compared, the copy placed in
// PRODUCT-FOLDER) and Install (RunInstall, up to the opener being started)
// are timed. Prints "arrival S check S install S" in seconds. Exits 0 when
// the package was checked, copied and handed over, 1 when not, 2 on wrong use.
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "backends/posix/file_system.hpp"
#include "fakes/fake_platform.hpp"
#include "install/installer_handoff.hpp"

namespace {
using Clock = std::chrono::steady_clock;

std::string ProgramPath(const std::string& native) {
  return PosixFileSystem::FromNative(std::filesystem::absolute(native).string());
}

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Stores package as download, block by block, telling watcher each block.
bool Arrive(const char* package, const char* download, IStoredBytes& watcher) {
  const int in = open(package, O_RDONLY | O_CLOEXEC);
  const int out = open(download, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  std::vector<std::uint8_t> block(512 * 1024);
  bool ok = in >= 0 && out >= 0;
  for (ssize_t got; ok && (got = read(in, block.data(), block.size())) > 0;) {
    ok = write(out, block.data(), static_cast<std::size_t>(got)) == got;
    watcher.Stored({block.data(), static_cast<std::size_t>(got)});
  }
  if (in >= 0) close(in);
  if (out >= 0 && close(out) != 0) ok = false;
  return ok;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: larkspire-verify-file PACKAGE DOWNLOAD PRODUCT-FOLDER CRC SHA256\n");
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);  // the tests' platform holds a window
  QApplication app(argc, argv);
  FakePlatform fake;
  ComponentTableType table(2);
  table[1].sFileName = std::filesystem::path(argv[1]).filename().string();
  table[1].sCrc = argv[4];
  table[1].sSha256 = argv[5];
  table[1].lSize = static_cast<std::int64_t>(std::filesystem::file_size(argv[1]));
  InstallerHandoff handoff(fake.services, table);
  handoff.Installed.AppPath = ProgramPath(argv[3]);
  if (handoff.Installed.AppPath.back() != '\\') handoff.Installed.AppPath += '\\';

  auto start = Clock::now();
  const std::shared_ptr<IStoredBytes> watcher = handoff.WatchArrival();
  if (!watcher || !Arrive(argv[1], argv[2], *watcher)) {
    std::fprintf(stderr, "the package could not be stored as a download\n");
    return 1;
  }
  const double arrival = Since(start);
  start = Clock::now();
  const bool verified = handoff.VerifyDownload(ProgramPath(argv[2]));
  const double check = Since(start);
  start = Clock::now();
  handoff.RunInstall();
  const double install = Since(start);
  if (!verified || fake.shell.calls.size() != 1) {
    std::fprintf(stderr, "the package was not %s\n", verified ? "handed over" : "verified and copied");
    return 1;
  }
  std::printf("arrival %.6f check %.6f install %.6f\n", arrival, check, install);
  return 0;
}
