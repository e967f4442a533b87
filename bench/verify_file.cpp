// Runs the wizard's integrity check (over the real file services) on one file and prints how long it
// took: larkspire-verify-file FILE PRODUCT-FOLDER CRC. Exits 0 when the file
// matched and was copied, 1 when not, 2 on wrong use.
#include <QApplication>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "backends/posix/file_system.hpp"
#include "fakes/fake_platform.hpp"
#include "install/installer_handoff.hpp"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: larkspire-verify-file FILE PRODUCT-FOLDER CRC\n");
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);  // the tests' platform holds a window
  QApplication app(argc, argv);
  FakePlatform fake;
  InstalledState state;
  state.AppPath = PosixFileSystem::FromNative(std::filesystem::absolute(argv[2]).string());
  if (state.AppPath.back() != '\\') state.AppPath += '\\';
  ComponentTableType table(2);
  const std::int32_t currentIndex = 1;
  table[1].sFileName = std::filesystem::path(argv[1]).filename().string();
  table[1].sCrc = argv[3];
  InstallerHandoff check(fake.services, table, currentIndex, state);

  const std::string file = PosixFileSystem::FromNative(std::filesystem::absolute(argv[1]).string());
  const auto start = std::chrono::steady_clock::now();
  const bool ok = check.VerifyDownload(file);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  std::printf("%.6f\n", took.count());
  return ok ? 0 : 1;
}
