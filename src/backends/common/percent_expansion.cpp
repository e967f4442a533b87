#include "backends/common/percent_expansion.hpp"

#include <cstring>

std::string ExpandPercentReferences(std::string_view src,
                                    const std::function<std::optional<std::string>(const std::string&)>& lookup) {
  std::string out;
  std::size_t i = 0;
  while (i < src.size()) {
    if (src[i] == '%') {
      const std::size_t close = src.find('%', i + 1);
      if (close == i + 1) {
        // "%%" names nothing: it stays, and the search goes on after it.
        out.append("%%");
        i = close + 1;
        continue;
      }
      if (close != std::string_view::npos) {
        const std::string name(src.substr(i + 1, close - i - 1));
        if (auto value = lookup(name)) {
          out += *value;
          i = close + 1;
          continue;
        }
        // Unknown: "%NAME%" stays as written, and the search goes on after
        // its closing '%', as the system's expansion does.
        out.append(src.substr(i, close - i + 1));
        i = close + 1;
        continue;
      }
    }
    out += src[i++];
  }
  return out;
}

std::uint32_t CopyExpandedResult(const std::string& expanded, char* dst, std::uint32_t size) {
  const auto needed = static_cast<std::uint32_t>(expanded.size() + 1);
  if (dst && size >= needed) std::memcpy(dst, expanded.c_str(), needed);
  return needed;
}
