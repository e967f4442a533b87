#include "backends/posix/environment.hpp"

#include <cstdlib>
#include <cstring>

#include "backends/common/percent_expansion.hpp"
#include "backends/common/registry_tree.hpp"

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
