// The readable registry file: what a hive looks like on disk, and what the
// reader rejects without touching the hive it fills.
#include "platform/common/registry_file_format.hpp"

#include <gtest/gtest.h>

#include "fakes/registry_test_helpers.hpp"

namespace {

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
  RegistryHive again;
  std::string error;
  ASSERT_TRUE(ParseRegistryFile(text, &again, &error)) << error;
  EXPECT_EQ(SerializeRegistryFile(again), text);
}

TEST(RegistryFileFormat, HandWrittenVariantsAreRead) {
  RegistryHive hive;
  std::string error;
  ASSERT_TRUE(
      ParseRegistryFile("\xEF\xBB\xBFREGEDIT4\r\n; a comment\r\n[HKEY_CURRENT_USER\\K]\r\n  \"a\" = \"x\"  \r\n"
                        "\"b\"=hex:0A, FF ,\\\r\n    10\r\n[hkey_current_user\\k]\r\n\"c\"=dword:FFFFFFFF\r\n",
                        &hive, &error))
      << error;
  EXPECT_EQ(SerializeRegistryFile(hive),
            "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\K]\n\"a\"=\"x\"\n"
            "\"b\"=hex:0a,ff,10\n\"c\"=dword:ffffffff\n");
}

TEST(RegistryFileFormat, ABrokenFileIsRejectedAndTheHiveLeftAsItWas) {
  const std::string head = "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n";
  for (const std::string& text : std::vector<std::string>{
           "", "[HKEY_CURRENT_USER\\K]\n", "Windows Registry Editor Version 6.00\n", "REGEDIT4\n\"a\"=\"b\"\n",
           "REGEDIT4\n[HKEY_NOWHERE\\K]\n", "REGEDIT4\n[HKEY_CURRENT_USER\\K\n", "REGEDIT4\n[-HKEY_CURRENT_USER\\K]\n",
           head + "\"a\"=\"b\n", head + "\"a=\"b\"\n", head + "\"a\"=\"\\n\"\n", head + "\"a\" \"b\"\n",
           head + "\"a\"=\"b\" c\n", head + "\"a\"=dword:123456789\n", head + "\"a\"=hex:1g\n",
           head + "\"a\"=hex:100\n", head + "\"a\"=hex(zz):00\n", head + "\\\n\n\"a\"=\"b\"\n",
           head + "\"a\"=qword:00\n", head + "\"a\"=\"\xe6\xbc\xa2\"\n"}) {
    RegistryHive hive;
    hive.Root(Reg::CurrentUser)->AddSubkey("Before", nullptr)->SetValue("kept", Reg::Sz, BytesZ("yes"));
    const std::string before = SerializeRegistryFile(hive);
    std::string error;
    EXPECT_FALSE(ParseRegistryFile(text, &hive, &error)) << text;
    EXPECT_FALSE(error.empty()) << text;
    EXPECT_EQ(SerializeRegistryFile(hive), before) << text;
  }
}

}  // namespace
