// Any arguments (NUL-separated, the program's name first): the wizard
// refuses exactly when it says why, and a --verbose put first changes
// nothing but the verbosity.
#include <cstdlib>

#include "app/start_up.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> args(1);
  for (std::size_t i = 0; i < size; ++i) data[i] ? args.back() += static_cast<char>(data[i]) : args.emplace_back();
  const CommandLine line = ReadCommandLine(args);
  args.insert(args.begin() + 1, "--verbose");
  const CommandLine verbose = ReadCommandLine(args);
  if ((line.outcome == CommandLine::Outcome::Refuse) == line.refusal.empty() || verbose.outcome != line.outcome ||
      verbose.check != line.check || (verbose.outcome != CommandLine::Outcome::Refuse && !verbose.verbose))
    std::abort();
  return 0;
}
