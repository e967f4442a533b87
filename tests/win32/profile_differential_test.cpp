// The catalog's profile reader against the system's GetPrivateProfileStringA:
// many generated profile files, read by both with the same calls the catalog
// makes (default "", a buffer of 255), must give the same answers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "catalog/profile_parser.hpp"
#include "platform/common/profile_file_reader.hpp"
#include "platform/win32/win32_backends.hpp"
#include "support/codepage.hpp"
#include "win32/scratch_folder.hpp"

namespace {

constexpr std::uint32_t kBuffer = 255;  // the catalog's buffer

struct Answer {
  std::uint32_t count = 0;
  std::string text;
  bool operator==(const Answer&) const = default;
};

void PrintTo(const Answer& a, std::ostream* os) { *os << a.count << " \"" << a.text << "\""; }

Answer Ask(IProfileReader& reader, const std::string& section, const std::string& key, const std::string& file) {
  std::string buffer(kBuffer + 1, '\x7F');
  Answer a;
  a.count = reader.GetPrivateProfileString(section, key, "", buffer.data(), kBuffer, file);
  a.text = buffer.substr(0, buffer.find('\0'));
  return a;
}

std::string Visible(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c >= 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

// Pieces the generated files are made of: the names used, and lines built
// from them with blanks, quotes, case changes and broken forms.
// A Windows-1252 text saved as UTF-16 with its byte-order mark.
std::string Utf16(const std::string& ansi, bool bigEndian) {
  const std::vector<std::uint8_t> le = Utf8ToUtf16LeBytes(AnsiToUtf8(ansi));
  std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (std::size_t i = 0; i + 1 < le.size(); i += 2) {
    out += static_cast<char>(le[i + (bigEndian ? 1 : 0)]);
    out += static_cast<char>(le[i + (bigEndian ? 0 : 1)]);
  }
  return out;
}

class ProfileGenerator {
 public:
  explicit ProfileGenerator(unsigned seed) : rng_(seed) {}

  std::vector<std::string> sectionNames, keyNames;

  // The bytes of a file: Windows-1252 text, sometimes saved as UTF-8 or
  // UTF-16 with a byte-order mark.
  std::string File() {
    sectionNames.clear();
    keyNames.clear();
    static const std::vector<std::string> ends = {"\n", "\r\n", "\r"};
    const std::string end = OneOf(ends);
    const bool mixedEnds = Chance(10);
    std::string text;
    const int lines = Pick(1, 25);
    for (int i = 0; i < lines; ++i) {
      text += Line();
      if (i + 1 == lines && Chance(20)) break;  // no line end after the last line
      text += mixedEnds ? OneOf(ends) : end;
    }
    switch (Pick(0, 9)) {
      case 0:
        return "\xEF\xBB\xBF" + AnsiToUtf8(text);
      case 1:
      case 2:
        return Utf16(text, false);
      case 3:
        return Utf16(text, true);
      default:
        return text;
    }
  }

 private:
  int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  bool Chance(int percent) { return Pick(1, 100) <= percent; }
  template <typename T>
  const T& OneOf(const std::vector<T>& v) {
    return v[static_cast<std::size_t>(Pick(0, static_cast<int>(v.size()) - 1))];
  }

  std::string Blanks() {
    static const std::vector<std::string> kinds = {"", "", "", " ", "  ", "\t", " \t ", "\x1A", "\v"};
    return OneOf(kinds);
  }

  // Another case of the name's ASCII letters (the system's reader leaves
  // the others' case as it is; a test below shows it).
  std::string Recase(const std::string& s) {
    std::string out = s;
    const int how = Pick(0, 3);
    for (char& c : out) {
      const auto b = static_cast<unsigned char>(c);
      const bool lower = b >= 'a' && b <= 'z';
      const bool upper = b >= 'A' && b <= 'Z';
      if ((how == 1 || (how == 3 && Chance(50))) && lower) c = static_cast<char>(b - 32);
      if (how == 2 && upper) c = static_cast<char>(b + 32);
    }
    return out;
  }

  std::string Name(std::vector<std::string>& used, const std::vector<std::string>& pool) {
    if (!used.empty() && Chance(40)) return Recase(OneOf(used));
    std::string n = OneOf(pool);
    used.push_back(n);
    return Recase(n);
  }

  std::string SectionName() {
    static const std::vector<std::string> pool = {"setup",    "larkspire", "rillgauge", "Quillon",
                                                  "palvetta", "qvmpanel",  "qvmclock",  "a b",
                                                  "caf\xE9",  "\xC9t\xE9", "x;y",       "s=t",
                                                  "1",        "\x80uro",   "\x81\x8D",  "long" + std::string(40, 's')};
    return Name(sectionNames, pool);
  }

  std::string KeyName() {
    static const std::vector<std::string> pool = {"size",
                                                  "enabled",
                                                  "url",
                                                  "crc",
                                                  "version",
                                                  "exename",
                                                  "Date",
                                                  "a b",
                                                  "k\xE9y",
                                                  "\xC0\xE9",
                                                  "x\"y",
                                                  "'q'",
                                                  "\"dq\"",
                                                  "[br]",
                                                  "tab\tin",
                                                  "\x9F\xFF",
                                                  "n" + std::string(30, 'n')};
    return Name(keyNames, pool);
  }

  std::string Value() {
    switch (Pick(0, 14)) {
      case 0:
        return "";
      case 1:
        return "\"quoted value\"";
      case 2:
        return "'single'";
      case 3:
        return "\"unbalanced";
      case 4:
        return "\"\"";
      case 5:
        return " \" inner blanks \" ";
      case 6:
        return "a;b=c";
      case 7:
        return std::string(static_cast<std::size_t>(Pick(250, 300)), 'v');
      case 8:
        return "caf\xE9 \x80 \x81 \xFF";
      case 9:
        return "http://updates.example/browser/Setup.MSI";
      case 10:
        return "0A1B2C3D";
      case 11:
        return "x\"y\"";
      case 12:
        return "'mixed\"";
      case 13:
        return "=leading equals";
      default:
        return std::to_string(Pick(0, 99999));
    }
  }

  std::string Line() {
    switch (Pick(0, 19)) {
      case 0:
      case 1:
      case 2:
        return Blanks() + "[" + Blanks() + SectionName() + Blanks() + "]" + Blanks();
      case 3:
        return "";
      case 4:
        return Blanks();
      case 5:
        return ";" + KeyName() + "=" + Value();
      case 6:
        return Blanks() + KeyName();  // no '='
      case 7:
        return "=" + Value();  // no key
      case 8: {
        static const std::vector<std::string> broken = {"[unclosed",  "[a]b]", "[t] trailing", "[]",         "[ ]",
                                                        "[[double]]", "]",     "#x=y",         "; a comment"};
        return OneOf(broken);
      }
      case 9:
        return Blanks() + ";" + Blanks() + KeyName() + Blanks() + "=" + Value();
      default:
        return Blanks() + KeyName() + Blanks() + "=" + Blanks() + Value() + Blanks();
    }
  }

  std::mt19937 rng_;
};

// The names to ask for: every name the file used, in other cases too, and
// names it does not have.
std::vector<std::string> Queries(const std::vector<std::string>& used, const std::vector<std::string>& absent) {
  std::set<std::string> names(absent.begin(), absent.end());
  for (const auto& n : used) {
    names.insert(n);
    std::string upper = n, lower = n;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    names.insert(upper);
    names.insert(lower);
  }
  return {names.begin(), names.end()};
}

class ProfileDifferential : public ::testing::Test {
 protected:
  // A new file each time: the system's reader keeps files it has read.
  std::string Write(const std::string& bytes) {
    const std::string file = folder_.Path() + "p" + std::to_string(++files_) + ".ndf";
    files_system_.WriteFile(file, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    return file;
  }

  // Writes a file, asks both readers everything, and describes each
  // disagreement.
  void Compare(const std::string& text, const std::vector<std::string>& sections, const std::vector<std::string>& keys,
               std::vector<std::string>* disagreements) {
    const std::string file = Write(text);
    // Section "" is left out: the system reads the lines before the first
    // section as one of that name, ours ignores them (a test below).
    for (const auto& s : Queries(sections, {"missing"})) {
      if (s.empty()) continue;
      for (const auto& k : Queries(keys, {"absent"})) {
        const Answer system = Ask(system_, s, k, file);
        const Answer ours = Ask(ours_, s, k, file);
        if (system == ours) continue;
        std::ostringstream d;
        d << "[" << Visible(s) << "] " << Visible(k) << ": system " << system.count << " \"" << Visible(system.text)
          << "\", ours " << ours.count << " \"" << Visible(ours.text) << "\"\n  in:\n"
          << Visible(text);
        disagreements->push_back(d.str());
      }
    }
  }

  void ExpectNone(const std::vector<std::string>& disagreements) {
    EXPECT_TRUE(disagreements.empty()) << disagreements.size() << " disagreements; the first:\n"
                                       << (disagreements.empty() ? "" : disagreements.front());
    for (std::size_t i = 1; i < disagreements.size() && i < 6; ++i) ADD_FAILURE() << disagreements[i];
  }

  ScratchFolder folder_;
  Win32FileSystem files_system_;
  Win32ProfileReader system_;
  ProfileFileReader ours_{files_system_};
  int files_ = 0;
};

TEST_F(ProfileDifferential, GeneratedFilesGiveTheSameAnswers) {
  ProfileGenerator generator(20240613);
  std::vector<std::string> disagreements;
  for (int i = 0; i < 400; ++i) {
    const std::string text = generator.File();
    Compare(text, generator.sectionNames, generator.keyNames, &disagreements);
  }
  ExpectNone(disagreements);
}

TEST_F(ProfileDifferential, TheCatalogsOwnFileInEveryEncoding) {
  const std::string text =
      "; update information\r\n[setup]\r\nsize=612\r\nenabled=1\r\nurl = "
      "\"http://updates.example/browser/Setup.MSI\"\r\n"
      "crc=0a1b2c3d\r\n[larkspire]\r\nenabled=1\r\nversion=3.02.0013\r\nexename=Larkspire.EXE\r\n[rillgauge]\r\n"
      "enabled=0\r\n";
  std::vector<std::string> disagreements;
  for (const std::string& bytes : {text, "\xEF\xBB\xBF" + text, Utf16(text, false), Utf16(text, true)})
    Compare(bytes, {"setup", "larkspire", "rillgauge", "quillon"},
            {"size", "enabled", "url", "crc", "version", "exename", "date"}, &disagreements);
  ExpectNone(disagreements);
  EXPECT_EQ(Ask(ours_, "SETUP", "URL", Write(Utf16(text, true))),
            (Answer{40, "http://updates.example/browser/Setup.MSI"}));
}

// ---- where the two readers differ, and why ours stays as it is ----

// The catalog asks for named sections only; ours keeps what comes before
// the first one out of every section.
TEST_F(ProfileDifferential, LinesBeforeTheFirstSectionFormANamelessSectionOnlyForTheSystem) {
  const std::string file = Write("size=1\n[]\nsize=2\n[s]\nk=3\n");
  EXPECT_EQ(Ask(system_, "", "size", file), (Answer{1, "1"}));
  EXPECT_EQ(Ask(ours_, "", "size", file), (Answer{1, "2"}));
  EXPECT_EQ(Ask(system_, "s", "k", file), Ask(ours_, "s", "k", file));
}

// Names match without regard to case, and the code page's accented letters
// have cases too; the system's reader folds only A to Z.
TEST_F(ProfileDifferential, AccentedLettersMatchInEitherCaseOnlyForUs) {
  const std::string file = Write("[caf\xE9]\nk\xE9y=1\n");
  EXPECT_EQ(Ask(system_, "CAF\xC9", "K\xC9Y", file), (Answer{0, ""}));
  EXPECT_EQ(Ask(ours_, "CAF\xC9", "K\xC9Y", file), (Answer{1, "1"}));
  EXPECT_EQ(Ask(system_, "CAF\xE9", "K\xE9Y", file), (Answer{1, "1"}));
  EXPECT_EQ(Ask(ours_, "CAF\xE9", "K\xE9Y", file), (Answer{1, "1"}));
}

// A character of a UTF-8 or UTF-16 file that Windows-1252 lacks: the system
// gives a look-alike letter where it knows one, ours a "?" as the registry
// conversions do.
TEST_F(ProfileDifferential, CharactersTheCodePageLacksBecomeALookAlikeOnlyForTheSystem) {
  const std::string file = Write("\xEF\xBB\xBF[s]\nk=\xC4\x80\xE2\x82\xAC\xE6\xBC\xA2\n");  // "Ā€漢"
  EXPECT_EQ(Ask(system_, "s", "k", file), (Answer{3, "A\x80?"}));
  EXPECT_EQ(Ask(ours_, "s", "k", file), (Answer{3, "?\x80?"}));
}

// An update-information file is a few hundred bytes; ours does not read a
// file of more than a mebibyte at all.
TEST_F(ProfileDifferential, AFileLargerThanAnyProfileFileIsReadOnlyByTheSystem) {
  std::string bytes = "[s]\nk=v\n";
  bytes.resize(kMaxProfileBytes + 1, '\n');
  const std::string file = Write(bytes);
  EXPECT_EQ(Ask(system_, "s", "k", file), (Answer{1, "v"}));
  EXPECT_EQ(Ask(ours_, "s", "k", file), (Answer{0, ""}));
}

}  // namespace
