#pragma once
// A Windows profile (INI) file parsed from its bytes, looked up the way the
// system's profile reader does it.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Files beyond this size are not profile files; nothing is found in them.
inline constexpr std::size_t kMaxProfileBytes = 1 << 20;

class ProfileDocument {
 public:
  // Parses the bytes of a file. Lines end in LF, CR LF or CR; "[name]"
  // opens a section; "key=value" lines belong to the open section, with
  // blanks around key and value dropped and one matching pair of quotes
  // around the value removed. A line without "=" is a key without a value.
  // Lines before the first section are ignored; ";" is not special. Bytes
  // are Windows-1252; a file that begins with a byte-order mark is decoded
  // as UTF-8 or UTF-16 (either byte order) and re-encoded, characters the
  // code page lacks becoming "?". A file with a NUL character (not text) or
  // larger than kMaxProfileBytes gives an empty document. Never raises.
  static ProfileDocument Parse(std::string_view bytes);

  // The Windows-1252 value of key in section, names compared without regard
  // to case or to blanks around them; the first section of a name and the
  // first key of a name in it win. Nothing when the key is absent or has no
  // "=". Never raises.
  std::optional<std::string> Value(std::string_view section, std::string_view key) const;

  std::size_t SectionCount() const { return sections_.size(); }

 private:
  struct Entry {
    std::string key;
    std::optional<std::string> value;
  };
  struct Section {
    std::string name;
    std::vector<Entry> entries;
  };
  std::vector<Section> sections_;
};

// True when two Windows-1252 names are equal without regard to case.
bool ProfileNamesEqual(std::string_view a, std::string_view b) noexcept;
