// The fake environment of tests/fakes/fake_platform.hpp for the Windows
// build, whose fake_platform.cpp holds Linux file services as well.
#include "fakes/fake_platform.hpp"
#include "support/codepage.hpp"

std::uint32_t FakeEnvironment::ExpandEnvironmentStrings(const char* src, char* dst, std::uint32_t size) {
  // vars hold program texts (UTF-8); the call itself is a single-byte one.
  const std::string out = ExpandPercentReferences(src, [this](const std::string& name) -> std::optional<std::string> {
    for (const auto& [k, v] : vars)
      if (NamesEqual(Utf8ToAnsi(k), name)) return Utf8ToAnsi(v);
    return std::nullopt;
  });
  return CopyExpandedResult(out, dst, size);
}
