#include "catalog/profile_parser.hpp"

#include <cstdint>
#include <utility>
#include <vector>

#include "support/codepage.hpp"
#include "support/text_case.hpp"

namespace {
// Ctrl-Z, the old end-of-file mark, counts as a blank as it does for the
// system's reader.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f' || c == '\x1A'; }

std::string_view Trim(std::string_view t) {
  while (!t.empty() && IsBlank(t.front())) t.remove_prefix(1);
  while (!t.empty() && IsBlank(t.back())) t.remove_suffix(1);
  return t;
}

std::string_view Unquote(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    return v.substr(1, v.size() - 2);
  return v;
}

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";

// The Windows-1252 text of a file saved as UTF-16 ("Unicode"), without its
// byte-order mark.
std::string Utf16ToAnsi(std::string_view bytes, bool bigEndian) {
  std::vector<std::uint8_t> le(bytes.begin(), bytes.end());
  if (bigEndian)
    for (std::size_t i = 0; i + 1 < le.size(); i += 2) std::swap(le[i], le[i + 1]);
  return Utf8ToAnsi(Utf16LeBytesToUtf8(le));
}
}  // namespace

bool ProfileNamesEqual(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (UpperAnsiByte(static_cast<unsigned char>(a[i])) != UpperAnsiByte(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

ProfileDocument ProfileDocument::Parse(std::string_view bytes) {
  ProfileDocument doc;
  if (bytes.size() > kMaxProfileBytes) return doc;
  std::string recoded;
  if (bytes.starts_with(kUtf16LeMark) || bytes.starts_with(kUtf16BeMark)) {
    recoded = Utf16ToAnsi(bytes.substr(2), bytes.starts_with(kUtf16BeMark));
    bytes = recoded;
  } else if (bytes.starts_with(kUtf8Mark)) {
    recoded = Utf8ToAnsi(bytes.substr(kUtf8Mark.size()));
    bytes = recoded;
  }
  if (bytes.find('\0') != std::string_view::npos) return doc;

  Section* current = nullptr;
  while (!bytes.empty()) {
    // A line ends at LF, CR LF or a CR alone.
    const std::size_t end = bytes.find_first_of("\r\n");
    const std::string_view line = Trim(bytes.substr(0, end));
    bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
    if (line.empty()) continue;

    if (line.front() == '[') {
      const std::size_t close = line.rfind(']');
      if (close == std::string_view::npos) continue;  // no section header, no key either
      doc.sections_.push_back({std::string(Trim(line.substr(1, close - 1))), {}});
      current = &doc.sections_.back();
      continue;
    }
    if (!current) continue;

    // An empty key name ("=value") is a key too, found by asking for "".
    const std::size_t eq = line.find('=');
    const std::string_view key = Trim(line.substr(0, eq));
    Entry entry{std::string(key), std::nullopt};
    if (eq != std::string_view::npos) entry.value = std::string(Unquote(Trim(line.substr(eq + 1))));
    current->entries.push_back(std::move(entry));
  }
  return doc;
}

std::optional<std::string> ProfileDocument::Value(std::string_view section, std::string_view key) const {
  section = Trim(section);
  key = Trim(key);
  for (const Section& s : sections_) {
    if (!ProfileNamesEqual(s.name, section)) continue;
    for (const Entry& e : s.entries)
      if (ProfileNamesEqual(e.key, key)) return e.value;
    return std::nullopt;  // only the first section of a name is read
  }
  return std::nullopt;
}
