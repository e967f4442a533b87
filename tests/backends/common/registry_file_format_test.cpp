// The readable registry file: what a hive looks like on disk, what the
// reader takes, and what it rejects without touching the hive it fills.
#include "backends/common/registry_file_format.hpp"

#include <gtest/gtest.h>

#include <optional>

#include "fakes/registry_test_helpers.hpp"

namespace {

// The file as its hive is written again, or nothing when it is rejected.
std::optional<std::string> Parsed(const std::string& text) {
  RegistryHive hive;
  std::string error;
  return ParseRegistryFile(text, &hive, &error) ? std::optional(SerializeRegistryFile(hive)) : std::nullopt;
}
std::string Deep(int levels) { return levels ? Deep(levels - 1) + "\\k" : "REGEDIT4\n[HKEY_CURRENT_USER"; }

// (That a written file reads back as it was, every type and name, is the
// registry conformance suite's: its second client reads what the first wrote.)
TEST(RegistryFileFormat, FilesAreWrittenAsTheRegistryEditorExportsThemAndHandWrittenOnesRead) {
  const std::string productId =
      "\"ProductID\"=hex:ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,\\\n  "
      "ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab\n";
  const std::string written =
      "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\K]\n\"a\"=\"C:\\\\P \\\"L\\\"\"\n"
      "\"b\"=hex:0a,ff,10\n@=dword:ffffffff\n\"t\"=hex(2):25,54,25,00\n" +
      productId;
  EXPECT_EQ(
      Parsed("\xEF\xBB\xBFREGEDIT4\r\n; a comment\r\n[HKEY_CURRENT_USER\\K]\r\n  \"a\" = \"C:\\\\P \\\"L\\\"\"  \r\n"
             "\"b\"=hex:0A, FF ,\\\r\n    10\r\n[hkey_current_user\\k]\r\n@=dword:FFFFFFFF\r\n"
             "\"t\"=hex(2):25,54,25,00\r\n" +
             productId),
      written);
  const auto utf16 = Utf8ToUtf16LeBytes(
      "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n\"a\"=hex(2):e9,00,ac,20,00,00\r\n");
  EXPECT_EQ(Parsed("\xFF\xFE" + std::string(utf16.begin(), utf16.end())),
            "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\K]\n\"a\"=hex(2):e9,80,00\n")
      << "UTF-16 text data in the code page of the hive";
  EXPECT_TRUE(Parsed(Deep(512) + "]\n") && !Parsed(Deep(513) + "]\n")) << "the registry's 512 levels";
  EXPECT_TRUE(Parsed(Deep(0) + "\\" + std::string(255, 'k') + "]\n") &&
              !Parsed(Deep(0) + "\\" + std::string(256, 'k') + "]\n"))
      << "names of at most 255 characters";
}

TEST(RegistryFileFormat, ABrokenFileIsRejectedAndTheHiveLeftAsItWas) {
  const std::string head = "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n";
  std::vector<std::string> broken;
  for (const char* text :
       {"", "[HKEY_CURRENT_USER\\K]\n", "Windows Registry Editor Version 6.00\n", "REGEDIT4\n\"a\"=\"b\"\n",
        "REGEDIT4\n[HKEY_NOWHERE\\K]\n", "REGEDIT4\n[HKEY_CURRENT_USER\\K\n", "REGEDIT4\n[-HKEY_CURRENT_USER\\K]\n"})
    broken.push_back(text);
  for (const char* tail : {"\"a\"=\"b\n", "\"a=\"b\"\n", "\"a\"=\"\\n\"\n", "\"a\" \"b\"\n", "\"a\"=\"b\" c\n",
                           "\"a\"=dword:123456789\n", "\"a\"=hex:1g\n", "\"a\"=hex:100\n", "\"a\"=hex(zz):00\n",
                           "\\\n\n\"a\"=\"b\"\n", "\"a\"=hex:00,\\\n", "\"a\"=qword:00\n", "\"a\"=\"\xe6\xbc\xa2\"\n"})
    broken.push_back(head + tail);
  for (const std::string& text : broken) {
    RegistryHive hive;
    hive.Root(Reg::CurrentUser)->AddSubkey("Before", nullptr)->SetValue("kept", Reg::Sz, BytesZ("yes"));
    const std::string before = SerializeRegistryFile(hive);
    std::string error;
    EXPECT_TRUE(!ParseRegistryFile(text, &hive, &error) && !error.empty() && SerializeRegistryFile(hive) == before)
        << text;
  }
}

// A UTF-8 file's names compare letter by letter as Unicode's simple case folding has it, and sort as their capitals.
TEST(RegistryNames, FoldLetterByLetterAsUnicodesSimpleFolding) {
  // clang-format off
  const std::tuple<const char*, const char*, int> rows[] = {
      {"Программы", "ПРОГРАММЫ", 0}, {"ґанок", "ҐАНОК", 0}, {"ά", "Ά", 0}, {"ς", "Σ", 0}, {"σ", "ς", 0}, {"ǆ", "Ǆ", 0},
      {"ǅ", "ǆ", 0}, {"µ", "Μ", 0}, {"ſ", "S", 0}, {"\u212A", "k", 0}, {"ß", "ẞ", 0},
      {"Ꭰ", "ꭰ", 0}, {"𐐀", "𐐨", 0},  // Cherokee, and Deseret beyond 16 bits
      {"ß", "ss", 1}, {"ı", "I", 1}, {"İ", "i", 1},  // one letter for one, and no Turkic i
      {"_", "a", 1}, {"é", "F", 1}, {"b", "Ab", 1}};  // in order as their capitals
  // clang-format on
  for (const auto& [a, b, order] : rows) EXPECT_EQ(CompareNames(a, b, TextCodePage::Utf8), order) << a << " " << b;
}
}  // namespace
