// Saves the registry file in a loop, for the crash and concurrency tests.
//   registry_writer FILE PREFIX COUNT      writes PREFIX0..PREFIX<COUNT-1>
//   registry_writer FILE --payload         rewrites one large value forever
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/posix/file_hive_store.hpp"

namespace {
// A value whose every byte follows from its first four, so a torn write
// would show.
std::vector<std::uint8_t> Payload(std::uint32_t n) {
  std::vector<std::uint8_t> data(64 * 1024 + (n % 1000));
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>((n * 31 + i * 7) & 0xFF);
  std::memcpy(data.data(), &n, 4);
  return data;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  FileRegistryApi api(argv[1]);
  RegHandle key = 0;
  std::uint32_t disposition = 0;
  if (api.CreateKeyEx(Reg::CurrentUser, "Software\\Test", Reg::KeyWrite | Reg::KeyRead, &key, &disposition)) return 3;
  if (std::strcmp(argv[2], "--payload") == 0) {
    for (std::uint32_t n = 1;; ++n) {
      const auto data = Payload(n);
      if (api.SetValueEx(key, "payload", Reg::Binary, data.data(), static_cast<std::uint32_t>(data.size()))) return 4;
      if (n == 1) {
        std::puts("ready");
        std::fflush(stdout);
      }
    }
  }
  const int count = argc > 3 ? std::atoi(argv[3]) : 100;
  for (int i = 0; i < count; ++i) {
    const std::string name = std::string(argv[2]) + std::to_string(i);
    const std::uint32_t v = static_cast<std::uint32_t>(i);
    if (api.SetValueEx(key, name, Reg::Dword, reinterpret_cast<const std::uint8_t*>(&v), 4)) return 5;
  }
  api.CloseKey(key);
  return 0;
}
