// How the per-user registry file's cost grows with its size: a file with N
// values in one key, and one with N keys written in reverse order (each new
// key sorts before the ones already read), for N of 1,000, 10,000 and
// 100,000. For each it times the first call (which reads and parses the
// file), a second call on the unchanged file, and an enumeration of every
// value or key, and prints the time per item beside the time, so a cost that
// grows faster than the file shows at once. Best of three runs.
//   registry-bench FOLDER
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

#include "backends/posix/file_hive_store.hpp"

namespace {
using Clock = std::chrono::steady_clock;

double BestOf3(const std::function<void()>& run) {
  double best = 1e9;
  for (int i = 0; i < 3; ++i) {
    const Clock::time_point start = Clock::now();
    run();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return best;
}

// Writes the file: n values in one key, or n keys in reverse order.
void WriteFile(const std::string& path, int n, bool keys) {
  std::ofstream out(path);
  out << "Windows Registry Editor Version 5.00\n\n";
  for (int i = n - 1; i >= 0; --i) {
    if (keys) out << "[HKEY_CURRENT_USER\\Software\\Bench\\key" << i << "]\n\"v\"=\"x\"\n\n";
  }
  if (!keys) {
    out << "[HKEY_CURRENT_USER\\Software\\Bench]\n";
    for (int i = 0; i < n; ++i) out << "\"value" << i << "\"=\"some text\"\n";
  }
}

void Row(const char* what, int n, double seconds) {
  std::printf("%-34s %7d: %8.4f s  %7.3f us each\n", what, n, seconds, seconds * 1e6 / n);
}
}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each row as it is measured
  if (argc != 2) {
    std::fprintf(stderr, "usage: registry-bench FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  double last = 0;
  for (const bool keys : {false, true}) {
    for (const int n : {1000, 10000, 100000}) {
      const std::string path = folder + "/bench-" + std::to_string(n) + (keys ? "-keys" : "-values") + ".reg";
      WriteFile(path, n, keys);
      std::uint8_t data[64];
      std::uint32_t type = 0, size = 0;
      char name[64];
      std::uint32_t nameLen = 0;
      const double load = BestOf3([&] {
        FileRegistryApi api(path);
        RegHandle key = 0;
        api.OpenKeyEx(Reg::CurrentUser, "Software\\Bench", Reg::KeyRead, &key);
        size = sizeof data;
        api.QueryValueEx(key, "value0", &type, data, &size);
        api.CloseKey(key);
      });
      FileRegistryApi api(path);
      RegHandle key = 0;
      api.OpenKeyEx(Reg::CurrentUser, "Software\\Bench", Reg::KeyRead, &key);
      const double again = BestOf3([&] {
        size = sizeof data;
        api.QueryValueEx(key, "value0", &type, data, &size);
      });
      const double all = BestOf3([&] {
        for (std::uint32_t i = 0;; ++i) {
          nameLen = sizeof name, size = sizeof data;
          const long rc =
              keys ? api.EnumKeyEx(key, i, name, &nameLen) : api.EnumValue(key, i, name, &nameLen, &type, data, &size);
          if (rc != Reg::Success) break;
        }
      });
      api.CloseKey(key);
      const char* kind = keys ? "keys in reverse order" : "values in one key";
      Row((std::string("read and parse, ") + kind).c_str(), n, load);
      Row("  the next call on the same file", n, again);
      Row((std::string("  enumerate all ") + (keys ? "keys" : "values")).c_str(), n, all);
      if (!keys && n == 100000) last = load;
    }
  }
  std::printf("100000 values in one key: %.2f s\n", last);
  return 0;
}
