#include "backends/common/registry_file_format.hpp"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <optional>

#include "support/codepage.hpp"

namespace {
constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::size_t kBytesPerLine = 25;

bool PrintableAnsi(unsigned char b) {
  if (b < 0x20 || b == 0x7F) return false;
  return b != 0x81 && b != 0x8D && b != 0x8F && b != 0x90 && b != 0x9D;  // undefined in 1252
}

// Whether string data (without its NUL) can be written as a quoted text
// that reads back to the same bytes.
bool Printable(std::string_view text, TextCodePage cp) {
  if (cp == TextCodePage::Windows1252)
    return std::all_of(text.begin(), text.end(), [](char c) { return PrintableAnsi(static_cast<unsigned char>(c)); });
  for (std::size_t i = 0; i < text.size();) {
    const auto c = NextCodePoint(text, i);
    if (!c || *c < 0x20 || (*c >= 0x7F && *c <= 0x9F)) return false;
  }
  return true;
}

// The file is UTF-8 text; a Windows-1252 hive's names and texts are
// converted, a UTF-8 hive's are written as they are.
std::string InFile(std::string_view text, TextCodePage cp) {
  return cp == TextCodePage::Utf8 ? std::string(text) : AnsiToUtf8(text);
}

// The hive's form of a text of the file; nothing when a Windows-1252 hive
// has no byte for one of its characters.
std::optional<std::string> FromFile(std::string_view utf8, TextCodePage cp) {
  if (cp == TextCodePage::Utf8) return std::string(utf8);
  return Utf8ToAnsiExact(utf8);
}

std::string Quote(std::string_view text, TextCodePage cp) {
  std::string out = "\"";
  for (char c : InFile(text, cp)) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  out += '"';
  return out;
}

void AppendHex(std::string& out, const std::vector<std::uint8_t>& data, std::size_t prefixLen) {
  static const char* kDigits = "0123456789abcdef";
  std::size_t onLine = 0;
  const std::size_t firstLine = prefixLen < 75 ? (75 - prefixLen) / 3 : 1;
  std::size_t lineCap = std::max<std::size_t>(firstLine, 1);
  for (std::size_t i = 0; i < data.size(); ++i) {
    out += kDigits[data[i] >> 4];
    out += kDigits[data[i] & 15];
    if (i + 1 < data.size()) {
      out += ',';
      if (++onLine == lineCap) {
        out += "\\\n  ";
        onLine = 0;
        lineCap = kBytesPerLine;
      }
    }
  }
}

void WriteValue(std::string& out, const RegStoredValue& v, TextCodePage cp) {
  std::string line = v.name.empty() ? "@=" : Quote(v.name, cp) + "=";
  const auto& d = v.data;
  const std::string_view text(reinterpret_cast<const char*>(d.data()), d.empty() ? 0 : d.size() - 1);
  if (v.type == Reg::Sz && !d.empty() && d.back() == 0 && Printable(text, cp)) {
    line += Quote(text, cp);
  } else if (v.type == Reg::Dword && d.size() == 4) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "dword:%08x", d[0] | (d[1] << 8) | (d[2] << 16) | (unsigned(d[3]) << 24));
    line += buf;
  } else {
    if (v.type == Reg::Binary) {
      line += "hex:";
    } else {
      char buf[24];
      std::snprintf(buf, sizeof buf, "hex(%x):", v.type);
      line += buf;
    }
    AppendHex(line, d, line.size());
  }
  out += line;
  out += '\n';
}

// The keys below a root, each with its full path, parents first. The walk
// keeps its own stack and one path text, so no depth of keys can exhaust
// the program's stack or copy long paths over and over.
void WriteKeysBelow(std::string& out, const RegKeyNode& root, const std::string& rootName, TextCodePage cp) {
  struct Frame {
    const RegKeyNode* node;
    std::size_t next;
    std::size_t pathLength;
  };
  std::string path = rootName;
  std::vector<Frame> stack{{&root, 0, path.size()}};
  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.next == top.node->Subkeys().size()) {
      stack.pop_back();
      continue;
    }
    const RegKeyNode& key = *top.node->Subkeys()[top.next++];
    path.resize(top.pathLength);
    path += '\\';
    path += InFile(key.name, cp);
    out += "\n[";
    out += path;
    out += "]\n";
    for (const auto& v : key.values) WriteValue(out, v, cp);
    stack.push_back({&key, 0, path.size()});
  }
}

// ---- parsing ----

struct Parser {
  std::string_view text;
  std::size_t pos = 0;
  std::size_t lineNo = 0;
  std::string* error;

  bool Fail(const std::string& why) {
    if (error) *error = "line " + std::to_string(lineNo) + ": " + why;
    return false;
  }

  bool NextLine(std::string_view* line) {
    if (pos >= text.size()) return false;
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view l = text.substr(pos, end - pos);
    if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
    pos = end + 1;
    ++lineNo;
    *line = l;
    return true;
  }
};

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// The two forms of the file: ours, in UTF-8 with single-byte string data,
// and the registry editor's own export, in UTF-16 with UTF-16 string data
// and "\r" and "\n" for the line breaks in a quoted text.
enum class Dialect { Ours, RegistryEditor };

// Reads a quoted text at the start of s; returns the UTF-8 content and
// leaves s after the closing quote.
bool ReadQuoted(std::string_view* s, std::string* out, Dialect dialect) {
  if (s->empty() || s->front() != '"') return false;
  std::size_t i = 1;
  out->clear();
  while (i < s->size()) {
    char c = (*s)[i];
    if (c == '\\') {
      if (i + 1 >= s->size()) return false;
      const char n = (*s)[i + 1];
      if (dialect == Dialect::RegistryEditor && (n == 'r' || n == 'n')) {
        *out += n == 'r' ? '\r' : '\n';
      } else if (n == '\\' || n == '"') {
        *out += n;
      } else {
        return false;
      }
      i += 2;
      continue;
    }
    if (c == '"') {
      s->remove_prefix(i + 1);
      return true;
    }
    *out += c;
    ++i;
  }
  return false;
}

bool ParseHexBytes(std::string_view s, std::vector<std::uint8_t>* out) {
  s = TrimBlanks(s);
  if (s.empty()) return true;
  std::size_t i = 0;
  while (true) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    unsigned value = 0;
    auto [p, ec] = std::from_chars(s.data() + i, s.data() + s.size(), value, 16);
    const std::size_t used = static_cast<std::size_t>(p - (s.data() + i));
    if (ec != std::errc() || used == 0 || used > 2) return false;
    out->push_back(static_cast<std::uint8_t>(value));
    i += used;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    if (i == s.size()) return true;
    if (s[i] != ',') return false;
    ++i;
  }
}

// The single-byte form of UTF-16 string data, as the registry's single-byte
// calls give it in the hive's code page.
bool Utf16DataToCodePage(std::vector<std::uint8_t>* data, TextCodePage cp) {
  if (data->size() % 2) return false;
  // An unpaired surrogate is no character at all.
  for (std::size_t u = 0; u + 1 < data->size(); u += 2) {
    const unsigned unit = (*data)[u] | ((*data)[u + 1] << 8);
    if (unit >= 0xDC00 && unit <= 0xDFFF) return false;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      const unsigned low = u + 3 < data->size() ? (*data)[u + 2] | ((*data)[u + 3] << 8) : 0;
      if (low < 0xDC00 || low > 0xDFFF) return false;
      u += 2;
    }
  }
  auto text = FromFile(Utf16LeBytesToUtf8(*data), cp);
  if (!text) return false;
  data->assign(text->begin(), text->end());
  return true;
}

bool IsStringType(std::uint32_t type) { return type == Reg::Sz || type == Reg::ExpandSz || type == Reg::MultiSz; }

bool ParseData(std::string_view s, Dialect dialect, TextCodePage cp, std::uint32_t* type,
               std::vector<std::uint8_t>* data, std::string* why) {
  data->clear();
  if (!s.empty() && s.front() == '"') {
    std::string utf8;
    std::string_view rest = s;
    if (!ReadQuoted(&rest, &utf8, dialect) || !TrimBlanks(rest).empty()) return *why = "broken string", false;
    auto text = FromFile(utf8, cp);
    if (!text) return *why = "string has a character outside Windows-1252", false;
    *type = Reg::Sz;
    data->assign(text->begin(), text->end());
    data->push_back(0);
    return true;
  }
  if (s.substr(0, 6) == "dword:") {
    std::string_view h = TrimBlanks(s.substr(6));
    std::uint32_t v = 0;
    auto [p, ec] = std::from_chars(h.data(), h.data() + h.size(), v, 16);
    if (ec != std::errc() || p != h.data() + h.size() || h.empty() || h.size() > 8) return *why = "broken dword", false;
    *type = Reg::Dword;
    *data = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16),
             static_cast<std::uint8_t>(v >> 24)};
    return true;
  }
  if (s.substr(0, 4) == "hex:") {
    *type = Reg::Binary;
    if (!ParseHexBytes(s.substr(4), data)) return *why = "broken hex data", false;
    return true;
  }
  if (s.substr(0, 4) == "hex(") {
    const std::size_t close = s.find("):");
    if (close == std::string_view::npos) return *why = "broken hex type", false;
    std::string_view t = s.substr(4, close - 4);
    auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), *type, 16);
    if (ec != std::errc() || p != t.data() + t.size() || t.empty()) return *why = "broken hex type", false;
    if (!ParseHexBytes(s.substr(close + 2), data)) return *why = "broken hex data", false;
    if (dialect == Dialect::RegistryEditor && IsStringType(*type) && !Utf16DataToCodePage(data, cp))
      return *why = cp == TextCodePage::Utf8 ? "string data that is not UTF-16 text"
                                             : "string data that is not UTF-16 of Windows-1252 characters",
             false;
    return true;
  }
  return *why = "unknown data form", false;
}
}  // namespace

std::string SerializeRegistryFile(const RegistryHive& hive) {
  const TextCodePage cp = hive.CodePage();
  std::string out(kHeader);
  out += '\n';
  for (const auto& [root, node] : hive.roots) {
    const std::string rootName = RootName(root);
    if (!node->values.empty()) {
      out += "\n[" + rootName + "]\n";
      for (const auto& v : node->values) WriteValue(out, v, cp);
    }
    WriteKeysBelow(out, *node, rootName, cp);
  }
  return out;
}

bool ParseRegistryFile(std::string_view text, RegistryHive* hive, std::string* error) {
  Dialect dialect = Dialect::Ours;
  std::string decoded;
  if (text.substr(0, 2) == "\xFF\xFE") {
    dialect = Dialect::RegistryEditor;
    decoded = Utf16LeBytesToUtf8(std::vector<std::uint8_t>(text.begin() + 2, text.end()));
    text = decoded;
  }
  const TextCodePage cp = hive->CodePage();
  Parser p{text, 0, 0, error};
  if (const std::size_t bad = FirstInvalidUtf8(text); bad != std::string_view::npos) {
    p.lineNo = 1 + static_cast<std::size_t>(std::count(text.begin(), text.begin() + bad, '\n'));
    const std::size_t lineStart = text.rfind('\n', bad) == std::string_view::npos ? 0 : text.rfind('\n', bad) + 1;
    return p.Fail("bytes that are not UTF-8, from byte " + std::to_string(bad - lineStart + 1) + " of the line");
  }
  if (text.substr(0, 3) == "\xEF\xBB\xBF") p.pos = 3;
  std::string_view line;
  if (!p.NextLine(&line)) return p.Fail("empty file");
  line = TrimBlanks(line);
  if (line != kHeader && line != kHeader4) return p.Fail("not a registry file");

  RegistryHive parsed(cp);
  RegKeyNode* current = nullptr;
  while (p.NextLine(&line)) {
    std::string_view t = TrimBlanks(line);
    if (t.empty() || t.front() == ';') continue;
    if (t.front() == '[') {
      if (t.back() != ']' || t.size() < 3) return p.Fail("broken key line");
      std::string_view inner = t.substr(1, t.size() - 2);
      if (inner.front() == '-') return p.Fail("deletions are not stored here");
      auto path = FromFile(inner, cp);
      if (!path) return p.Fail("key name has a character outside Windows-1252");
      std::vector<std::string> parts;
      if (!SplitRegPath(*path, &parts) || parts.empty()) return p.Fail("broken key path");
      const RegHandle root = RootFromName(parts.front());
      if (!root) return p.Fail("unknown root key");
      if (parts.size() - 1 > kMaxKeyDepth)
        return p.Fail("keys nested deeper than the registry's " + std::to_string(kMaxKeyDepth) + " levels");
      current = parsed.Root(root);
      for (std::size_t i = 1; i < parts.size(); ++i) {
        if (std::any_of(parts[i].begin(), parts[i].end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }))
          return p.Fail("control character in key name");
        // A longer name no registry call could open, and a file of them would
        // grow with the square of the depth at every save.
        if ((cp == TextCodePage::Utf8 ? CharCount(parts[i]) : parts[i].size()) > kMaxKeyNameLength)
          return p.Fail("a key name longer than the registry's " + std::to_string(kMaxKeyNameLength) + " characters");
        current = current->AddSubkey(parts[i], nullptr);
      }
      continue;
    }
    if (!current) return p.Fail("value outside a key");
    // A value, possibly continued over several lines ending in a backslash.
    std::string joined(t);
    while (!joined.empty() && joined.back() == '\\') {
      joined.pop_back();
      std::string_view more;
      if (!p.NextLine(&more)) return p.Fail("continuation at end of file");
      joined += std::string(TrimBlanks(more));
    }
    if (joined.empty()) return p.Fail("a continued line with nothing in it");
    std::string_view rest = joined;
    std::string name;
    if (rest.front() == '@') {
      rest.remove_prefix(1);
    } else {
      std::string utf8;
      if (!ReadQuoted(&rest, &utf8, dialect)) return p.Fail("broken value name");
      auto text = FromFile(utf8, cp);
      if (!text) return p.Fail("value name has a character outside Windows-1252");
      // The registry editor's export can spell line breaks into a name; the
      // registry takes no control characters in names.
      if (std::any_of(text->begin(), text->end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }))
        return p.Fail("control character in value name");
      name = std::move(*text);
    }
    rest = TrimBlanks(rest);
    if (rest.empty() || rest.front() != '=') return p.Fail("missing '='");
    rest = TrimBlanks(rest.substr(1));
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    std::string why;
    if (!ParseData(rest, dialect, cp, &type, &data, &why)) return p.Fail(why);
    current->SetValue(name, type, std::move(data));
  }
  *hive = std::move(parsed);
  return true;
}
