// Any arguments (NUL-separated, the program's name first): the wizard
// refuses exactly when it says why and informs exactly when it has an
// answer; a --verbose put first changes nothing but the verbosity; and a
// line the Windows program takes, the Linux one (which only adds Qt's
// options) reads the same.
#include "app/command_line.hpp"
#include "fuzz_input.hpp"

void Fuzz(const std::uint8_t*, std::size_t, std::string_view text) {
  static const ProgramDescription windows{.name = "w", .command = "w", .version = "1", .updateHost = "h"};
  static const ProgramDescription linux = WithQtOptions(windows);
  std::vector<std::string> args(1);
  for (const char c : text) c ? args.back() += c : args.emplace_back();
  const CommandLine line = ReadCommandLine(args, linux);
  const CommandLine plain = ReadCommandLine(args, windows);
  args.insert(args.begin() + 1, "--verbose");
  const CommandLine verbose = ReadCommandLine(args, linux);
  const auto refused = [](const CommandLine& l) { return l.outcome == CommandLine::Outcome::Refuse; };
  Check(refused(line) != line.refusal.empty() &&
        (line.outcome == CommandLine::Outcome::Inform) != line.answer.empty() && verbose.outcome == line.outcome &&
        verbose.check == line.check && verbose.logFile == line.logFile && (refused(verbose) || verbose.verbose));
  Check(refused(plain) ||
        (line.outcome == plain.outcome && line.check == plain.check && line.logFile == plain.logFile));
}
