// The readable registry file: what a hive looks like on disk, what the
// reader takes, and what it rejects without touching the hive it fills.
#include "platform/common/registry_file_format.hpp"

#include <gtest/gtest.h>

#include "fakes/registry_test_helpers.hpp"

namespace {

std::string Parsed(const std::string& text) {
  RegistryHive hive;
  std::string error;
  EXPECT_TRUE(ParseRegistryFile(text, &hive, &error)) << error;
  return SerializeRegistryFile(hive);
}
std::string Deep(int levels) { return levels ? Deep(levels - 1) + "\\k" : "REGEDIT4\n[HKEY_CURRENT_USER"; }

TEST(RegistryFileFormat, AHiveIsWrittenAsTheRegistryEditorExportsItAndReadBack) {
  RegistryHive hive;
  RegKeyNode* main = hive.Root(Reg::CurrentUser)->AddSubkey("Software", nullptr)->AddSubkey("Main", nullptr);
  main->SetValue("App Path", Reg::Sz, BytesZ("C:\\Program Files\\\"L\""));
  main->SetValue("", Reg::Dword, {0x2a, 0, 0, 0});
  main->SetValue("Temp", Reg::ExpandSz, BytesZ("%T%"));
  main->SetValue("ProductID", Reg::Binary, std::vector<std::uint8_t>(30, 0xAB));
  const std::string text = SerializeRegistryFile(hive);
  EXPECT_EQ(
      text,
      "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software]\n\n"
      "[HKEY_CURRENT_USER\\Software\\Main]\n\"App Path\"=\"C:\\\\Program Files\\\\\\\"L\\\"\"\n@=dword:0000002a\n"
      "\"Temp\"=hex(2):25,54,25,00\n\"ProductID\"=hex:ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,\\\n"
      "  ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab\n");
  EXPECT_EQ(Parsed(text), text);
}

TEST(RegistryFileFormat, HandWrittenFilesTheEditorsUtf16ExportAndTheDeepestKeysAreRead) {
  EXPECT_EQ(Parsed("\xEF\xBB\xBFREGEDIT4\r\n; a comment\r\n[HKEY_CURRENT_USER\\K]\r\n  \"a\" = \"x\"  \r\n"
                   "\"b\"=hex:0A, FF ,\\\r\n    10\r\n[hkey_current_user\\k]\r\n\"c\"=dword:FFFFFFFF\r\n"),
            "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\K]\n\"a\"=\"x\"\n"
            "\"b\"=hex:0a,ff,10\n\"c\"=dword:ffffffff\n");
  const auto utf16 = Utf8ToUtf16LeBytes(
      "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n\"a\"=hex(2):e9,00,ac,20,00,00\r\n");
  EXPECT_EQ(Parsed("\xFF\xFE" + std::string(utf16.begin(), utf16.end())),
            "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\K]\n\"a\"=hex(2):e9,80,00\n")
      << "UTF-16 text data in the code page of the hive";
  EXPECT_NE(Parsed(Deep(512) + "]\n"), "") << "the registry's 512 levels";
}

TEST(RegistryFileFormat, ABrokenFileIsRejectedAndTheHiveLeftAsItWas) {
  const std::string head = "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n";
  for (const std::string& text : std::vector<std::string>{"",
                                                          "[HKEY_CURRENT_USER\\K]\n",
                                                          "Windows Registry Editor Version 6.00\n",
                                                          "REGEDIT4\n\"a\"=\"b\"\n",
                                                          "REGEDIT4\n[HKEY_NOWHERE\\K]\n",
                                                          "REGEDIT4\n[HKEY_CURRENT_USER\\K\n",
                                                          "REGEDIT4\n[-HKEY_CURRENT_USER\\K]\n",
                                                          Deep(513) + "]\n",
                                                          head + "\"a\"=\"b\n",
                                                          head + "\"a=\"b\"\n",
                                                          head + "\"a\"=\"\\n\"\n",
                                                          head + "\"a\" \"b\"\n",
                                                          head + "\"a\"=\"b\" c\n",
                                                          head + "\"a\"=dword:123456789\n",
                                                          head + "\"a\"=hex:1g\n",
                                                          head + "\"a\"=hex:100\n",
                                                          head + "\"a\"=hex(zz):00\n",
                                                          head + "\\\n\n\"a\"=\"b\"\n",
                                                          head + "\"a\"=hex:00,\\\n",
                                                          head + "\"a\"=qword:00\n",
                                                          head + "\"a\"=\"\xe6\xbc\xa2\"\n"}) {
    RegistryHive hive;
    hive.Root(Reg::CurrentUser)->AddSubkey("Before", nullptr)->SetValue("kept", Reg::Sz, BytesZ("yes"));
    const std::string before = SerializeRegistryFile(hive);
    std::string error;
    EXPECT_FALSE(ParseRegistryFile(text, &hive, &error)) << text;
    EXPECT_TRUE(!error.empty() && SerializeRegistryFile(hive) == before) << text;
  }
}

}  // namespace
