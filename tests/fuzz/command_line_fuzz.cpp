// Any arguments (NUL-separated, the program's name first): the wizard
// refuses exactly when it says why, and a --verbose put first changes
// nothing but the verbosity.
#include "app/start_up.hpp"
#include "fuzz_input.hpp"

void Fuzz(const std::uint8_t*, std::size_t, std::string_view text) {
  std::vector<std::string> args(1);
  for (const char c : text) c ? args.back() += c : args.emplace_back();
  const CommandLine line = ReadCommandLine(args);
  args.insert(args.begin() + 1, "--verbose");
  const CommandLine verbose = ReadCommandLine(args);
  Check((line.outcome == CommandLine::Outcome::Refuse) != line.refusal.empty() && verbose.outcome == line.outcome &&
        verbose.check == line.check && (verbose.outcome == CommandLine::Outcome::Refuse || verbose.verbose));
}
