// The fake environment of tests/fakes/fake_platform.hpp for the Windows
// build, whose fake_platform.cpp holds Linux file services as well.
#include "fakes/fake_platform.hpp"
#include "support/codepage.hpp"

std::uint32_t FakeEnvironment::ExpandEnvironmentStrings(const char* src, char* dst, std::uint32_t size) {
  // vars hold program texts (UTF-8); the call itself is a single-byte one.
  const bool utf8 = codePage == TextCodePage::Utf8;
  const std::string out = ExpandPercentReferences(src, [&](const std::string& name) -> std::optional<std::string> {
    for (const auto& [k, v] : vars)
      if (NamesEqual(utf8 ? k : Utf8ToAnsi(k), name, codePage)) return utf8 ? v : Utf8ToAnsi(v);
    return std::nullopt;
  });
  return CopyExpandedResult(out, dst, size);
}
