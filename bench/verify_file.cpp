// Runs the wizard's integrity check on one file and prints how long it
// took: larkspire-verify-file FILE PRODUCT-FOLDER CRC. Exits 0 when the file
// matched and was copied, 1 when not, 2 on wrong use.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/posix/posix_services.hpp"
#include "wizard/frm_main.hpp"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: larkspire-verify-file FILE PRODUCT-FOLDER CRC\n");
    return 2;
  }
  PosixFileSystem files;
  Platform platform;
  platform.files = &files;
  frmMain form(platform, "127.0.0.1");
  form.State.AppPath = PosixFileSystem::FromNative(std::filesystem::absolute(argv[2]).string());
  if (form.State.AppPath.back() != '\\') form.State.AppPath += '\\';
  form.ComponentTable.resize(2);
  form.CurrentIndex = 1;
  form.ComponentTable[1].sFileName = std::filesystem::path(argv[1]).filename().string();
  form.ComponentTable[1].sCrc = argv[3];

  const std::string file = PosixFileSystem::FromNative(std::filesystem::absolute(argv[1]).string());
  const auto start = std::chrono::steady_clock::now();
  const bool ok = form.VerifyDownload(file);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  std::printf("%.6f\n", took.count());
  return ok ? 0 : 1;
}
