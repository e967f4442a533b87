// Any bytes as an answer's head (0xFF stands for a run of 1000 characters,
// so that long lines are near): the head fits exactly when no line between
// its CR LFs is longer than a fetch takes, and a length that IsDecimal
// takes reads as a number without error, the very text printed back.
#include <cstdlib>
#include <string>

#include "backends/win32/head_text.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::wstring head;
  for (std::size_t i = 0; i < size; ++i) head.append(data[i] == 0xFF ? 1000 : 1, static_cast<wchar_t>(data[i]));
  std::size_t line = 0, longest = 0;
  for (std::size_t i = 0; i < head.size(); ++i) {
    const bool breaks = head[i] == L'\r' && i + 1 < head.size() && head[i + 1] == L'\n';
    line = breaks ? (++i, 0) : line + 1;
    longest = std::max(longest, line);
  }
  if (HeadLinesFit(head) != (longest <= kLongestHeadLine)) std::abort();
  if (IsDecimal(head)) {
    const long long n = std::stoll(head);
    if (n < 0 || std::to_wstring(n) != head.substr(std::min(head.find_first_not_of(L'0'), head.size() - 1)))
      std::abort();
  }
  return 0;
}
