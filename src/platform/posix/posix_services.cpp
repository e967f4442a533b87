#include "platform/posix/posix_services.hpp"

#include <sys/random.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/common/registry_tree.hpp"

extern char** environ;

std::uint32_t PosixEnvironment::ExpandEnvironmentStrings(const char* src, char* dst, std::uint32_t size) {
  if (!src) return 0;
  // The call is the single-byte one, and the Linux build's single-byte code
  // page is UTF-8, as the registry file's and the environment's: texts pass
  // as they are. Variable names compare without regard to case, as on
  // Windows.
  const std::string expanded = ExpandPercentReferences(src, [](const std::string& name) -> std::optional<std::string> {
    if (const char* v = std::getenv(name.c_str())) return std::string(v);
    for (char** e = environ; e && *e; ++e) {
      const char* eq = std::strchr(*e, '=');
      if (eq && NamesEqual(std::string_view(*e, static_cast<std::size_t>(eq - *e)), name, TextCodePage::Utf8))
        return std::string(eq + 1);
    }
    return std::nullopt;
  });
  return CopyExpandedResult(expanded, dst, size);
}

bool PosixGuidSource::CreateGuid(Guid* guid) {
  std::uint8_t b[16];
  std::size_t got = 0;
  while (got < sizeof b) {
    const ssize_t n = getrandom(b + got, sizeof b - got, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    got += static_cast<std::size_t>(n);
  }
  b[6] = static_cast<std::uint8_t>((b[6] & 0x0F) | 0x40);  // version 4
  b[8] = static_cast<std::uint8_t>((b[8] & 0x3F) | 0x80);  // RFC 4122 variant
  guid->Data1 = (std::uint32_t(b[0]) << 24) | (std::uint32_t(b[1]) << 16) | (std::uint32_t(b[2]) << 8) | b[3];
  guid->Data2 = static_cast<std::uint16_t>((b[4] << 8) | b[5]);
  guid->Data3 = static_cast<std::uint16_t>((b[6] << 8) | b[7]);
  std::memcpy(guid->Data4, b + 8, 8);
  return true;
}

void PosixProcessControl::EndProgram(int exitStatus) { std::exit(exitStatus); }

double PosixClock::Timer() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  return local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + now.tv_nsec / 1e9;
}

std::uint32_t StableMessageId(const std::string& name) {
  // Registered messages live in 0xC000..0xFFFF; names match without case.
  std::uint32_t h = 2166136261u;
  for (char c : FoldName(name)) {
    h ^= static_cast<unsigned char>(c);
    h *= 16777619u;
  }
  return 0xC000u + (h % 0x4000u);
}
