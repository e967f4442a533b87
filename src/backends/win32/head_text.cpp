#include "backends/win32/head_text.hpp"

#include <algorithm>

bool HeadLinesFit(const std::wstring& head) {
  for (std::size_t begin = 0; begin < head.size();) {
    const std::size_t end = std::min(head.find(L"\r\n", begin), head.size());
    if (end - begin > kLongestHeadLine) return false;
    begin = end + 2;
  }
  return true;
}

bool IsDecimal(const std::wstring& length) {
  return !length.empty() && length.size() <= 18 && length.find_first_not_of(L"0123456789") == std::wstring::npos;
}
