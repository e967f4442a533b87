// Any bytes as an answer's head (0xFF stands for a run of 1000 characters,
// so that long lines are near): the head fits exactly when no line between
// its CR LFs is longer than a fetch takes, and a length that IsDecimal
// takes reads as a number without error, the very text printed back.
#include "backends/win32/head_text.hpp"
#include "fuzz_input.hpp"

void Fuzz(const std::uint8_t* data, std::size_t size, std::string_view) {
  std::wstring head;
  for (std::size_t i = 0; i < size; ++i) head.append(data[i] == 0xFF ? 1000 : 1, static_cast<wchar_t>(data[i]));
  std::size_t line = 0, longest = 0;  // characters since the last CR LF, and the most of them
  for (std::size_t i = 0; i < head.size(); ++i)
    longest = std::max(longest, line = head.compare(i, 2, L"\r\n") ? line + 1 : (++i, 0));
  Check(HeadLinesFit(head) == (longest <= kLongestHeadLine));
  const long long n = IsDecimal(head) ? std::stoll(head) : 0;  // raises when the text does not read as a number
  Check(!IsDecimal(head) ||
        (n >= 0 && std::to_wstring(n) == head.substr(std::min(head.find_first_not_of(L'0'), head.size() - 1))));
}
