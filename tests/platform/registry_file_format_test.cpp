// The readable registry file: what a hive looks like on disk, what the
// reader accepts, and what it rejects without touching the hive it fills.
#include "platform/common/registry_file_format.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "fakes/registry_backends.hpp"
#include "fakes/registry_test_helpers.hpp"
#include "support/codepage.hpp"

namespace {

const RegStoredValue* FindIn(const RegistryHive& hive, RegHandle root, const std::string& path,
                             const std::string& name) {
  std::vector<std::string> parts;
  SplitRegPath(path, &parts);
  RegKeyNode* node = hive.Root(root);
  for (const auto& p : parts) {
    if (!node) return nullptr;
    node = node->FindSubkey(p);
  }
  return node ? node->FindValue(name) : nullptr;
}

RegistryHive ParseOrFail(const std::string& text) {
  RegistryHive hive;
  std::string error;
  EXPECT_TRUE(ParseRegistryFile(text, &hive, &error)) << error << "\n" << text;
  return hive;
}

TEST(RegistryFileFormat, AHiveIsWrittenAsTheRegistryEditorExportsIt) {
  RegistryHive hive;
  RegKeyNode* main = SeedKey(hive, Reg::CurrentUser, "Software\\Tessarine\\LarkspireBrowser\\Main");
  main->SetValue("App Version", Reg::Sz, BytesZ("3.02.0012"));
  main->SetValue("App Path", Reg::Sz, BytesZ("C:\\Program Files\\Larkspire"));
  main->SetValue("ProductID", Reg::Binary, {0xd4, 0xc6, 0x00, 0xff});
  main->SetValue("", Reg::Dword, {0x2a, 0, 0, 0});
  main->SetValue("Temp", Reg::ExpandSz, BytesZ("%TEMP%"));
  SeedKey(hive, Reg::CurrentUser, "Software\\Tessarine\\Components");

  EXPECT_EQ(SerializeRegistryFile(hive),
            "Windows Registry Editor Version 5.00\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software]\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software\\Tessarine]\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software\\Tessarine\\Components]\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software\\Tessarine\\LarkspireBrowser]\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software\\Tessarine\\LarkspireBrowser\\Main]\n"
            "\"App Version\"=\"3.02.0012\"\n"
            "\"App Path\"=\"C:\\\\Program Files\\\\Larkspire\"\n"
            "\"ProductID\"=hex:d4,c6,00,ff\n"
            "@=dword:0000002a\n"
            "\"Temp\"=hex(2):25,54,45,4d,50,25,00\n");
}

TEST(RegistryFileFormat, LongDataIsWrappedIntoContinuedLines) {
  RegistryHive hive;
  SeedKey(hive, Reg::CurrentUser, "K")->SetValue("ProductID", Reg::Binary, std::vector<std::uint8_t>(71, 0xAB));
  const std::string text = SerializeRegistryFile(hive);
  std::istringstream lines(text);
  std::string line;
  int continued = 0;
  while (std::getline(lines, line)) {
    EXPECT_LE(line.size(), 80u) << line;
    if (!line.empty() && line.back() == '\\') ++continued;
  }
  EXPECT_GE(continued, 2);
  EXPECT_EQ(FindIn(ParseOrFail(text), Reg::CurrentUser, "K", "ProductID")->data, std::vector<std::uint8_t>(71, 0xAB));
}

TEST(RegistryFileFormat, WhatIsSavedLoadsToTheSameHive) {
  RegistryHive hive;
  RegKeyNode* key = SeedKey(hive, Reg::CurrentUser, "Software\\Odd [name]\\caf\xE9");
  const std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> values = {
      {Reg::Sz, BytesZ("quote \" backslash \\ end\\")},
      {Reg::Sz, BytesZ("\t\r\n\x01\x7f")},
      {Reg::Sz, BytesZ("\x80\x81\x8d\x8f\x90\x9d\x9f\xa0\xff")},
      {Reg::Sz, Bytes("no NUL")},
      {Reg::Sz, {}},
      {Reg::MultiSz, Bytes(std::string("a\0b\0\0", 5))},
      {Reg::Dword, {1, 2, 3}},
      {Reg::DwordBigEndian, {0x12, 0x34, 0x56, 0x78}},
      {Reg::None, {}},
      {0x12345678u, {1}},
  };
  for (std::size_t i = 0; i < values.size(); ++i)
    key->SetValue("v" + std::to_string(i), values[i].first, values[i].second);
  SeedKey(hive, Reg::LocalMachine, "Elsewhere")->SetValue("\"\\=@", Reg::Sz, BytesZ("x"));
  hive.Root(Reg::CurrentUser)->SetValue("at the root", Reg::Dword, {0xff, 0xff, 0xff, 0xff});

  const std::string saved = SerializeRegistryFile(hive);
  const RegistryHive loaded = ParseOrFail(saved);
  EXPECT_EQ(SerializeRegistryFile(loaded), saved);
  for (std::size_t i = 0; i < values.size(); ++i) {
    const RegStoredValue* v =
        FindIn(loaded, Reg::CurrentUser, "Software\\Odd [name]\\caf\xE9", "v" + std::to_string(i));
    ASSERT_NE(v, nullptr) << i;
    EXPECT_EQ(v->type, values[i].first) << i;
    EXPECT_EQ(v->data, values[i].second) << i;
  }
  EXPECT_NE(FindIn(loaded, Reg::LocalMachine, "Elsewhere", "\"\\=@"), nullptr);
  EXPECT_NE(FindIn(loaded, Reg::CurrentUser, "", "at the root"), nullptr);
}

TEST(RegistryFileFormat, HandWrittenVariantsAreRead) {
  const std::string text =
      "\xEF\xBB\xBFREGEDIT4\r\n"
      "; a comment\r\n"
      "\r\n"
      "[HKEY_CURRENT_USER\\Software\\Tessarine\\LarkspireBrowser\\Main]\r\n"
      "  \"App Version\" = \"3.02.0012\"  \r\n"
      "\"Bytes\"=hex:0A, FF ,\\\r\n"
      "    10\r\n"
      "\"Count\"=dword:FFFFFFFF\r\n"
      "[hkey_current_user\\software\\TESSARINE\\LarkspireBrowser\\Main]\r\n"
      "\"Later\"=\"merged into the same key\"\r\n";
  const RegistryHive hive = ParseOrFail(text);
  const std::string main = "Software\\Tessarine\\LarkspireBrowser\\Main";
  EXPECT_EQ(FindIn(hive, Reg::CurrentUser, main, "App Version")->data, BytesZ("3.02.0012"));
  EXPECT_EQ(FindIn(hive, Reg::CurrentUser, main, "Bytes")->data, (std::vector<std::uint8_t>{0x0a, 0xff, 0x10}));
  EXPECT_EQ(FindIn(hive, Reg::CurrentUser, main, "Count")->data, (std::vector<std::uint8_t>{0xff, 0xff, 0xff, 0xff}));
  EXPECT_NE(FindIn(hive, Reg::CurrentUser, main, "Later"), nullptr);
}

struct Broken {
  const char* what;
  std::string text;
};

class RegistryFileRejects : public ::testing::TestWithParam<Broken> {};

TEST_P(RegistryFileRejects, AndLeavesTheHiveAsItWas) {
  RegistryHive hive;
  SeedKey(hive, Reg::CurrentUser, "Before")->SetValue("kept", Reg::Sz, BytesZ("yes"));
  const std::string before = SerializeRegistryFile(hive);
  std::string error;
  EXPECT_FALSE(ParseRegistryFile(GetParam().text, &hive, &error));
  EXPECT_FALSE(error.empty()) << "a reason is given";
  EXPECT_EQ(SerializeRegistryFile(hive), before);
}

const std::string kHead = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\K]\n";

// A file as the registry editor exports it: UTF-16 with a byte-order mark.
std::string Utf16File(const std::string& utf8) {
  const auto le = Utf8ToUtf16LeBytes(utf8);
  return "\xFF\xFE" + std::string(le.begin(), le.end());
}

INSTANTIATE_TEST_SUITE_P(
    BrokenFiles, RegistryFileRejects,
    ::testing::Values(
        Broken{"empty", ""}, Broken{"no header", "[HKEY_CURRENT_USER\\K]\n\"a\"=\"b\"\n"},
        Broken{"another header", "Windows Registry Editor Version 6.00\n"},
        Broken{"binary junk", std::string("\x00\x01\x02\xff garbage", 12)},
        Broken{"value outside a key", "REGEDIT4\n\"a\"=\"b\"\n"},
        Broken{"unknown root", "REGEDIT4\n[HKEY_NOWHERE\\K]\n"},
        Broken{"unclosed key line", "REGEDIT4\n[HKEY_CURRENT_USER\\K\n"},
        Broken{"deletion line", "REGEDIT4\n[-HKEY_CURRENT_USER\\K]\n"},
        Broken{"unclosed string", kHead + "\"a\"=\"b\n"}, Broken{"unclosed name", kHead + "\"a=\"b\"\n"},
        Broken{"bad escape", kHead + "\"a\"=\"\\n\"\n"}, Broken{"missing equals", kHead + "\"a\" \"b\"\n"},
        Broken{"text after a string", kHead + "\"a\"=\"b\" c\n"},
        Broken{"bad dword", kHead + "\"a\"=dword:123456789\n"}, Broken{"dword not hex", kHead + "\"a\"=dword:xyz\n"},
        Broken{"bad hex byte", kHead + "\"a\"=hex:1g\n"}, Broken{"hex byte too wide", kHead + "\"a\"=hex:100\n"},
        Broken{"bad hex type", kHead + "\"a\"=hex(zz):00\n"},
        Broken{"continuation at the end", kHead + "\"a\"=hex:00,\\\n"},
        Broken{"continuation of nothing", kHead + "\\\n\n\"a\"=\"b\"\n"},
        Broken{"unknown data form", kHead + "\"a\"=qword:00\n"},
        Broken{"string outside the code page", kHead + "\"a\"=\"\xe6\xbc\xa2\"\n"},
        Broken{"line break in a value name", Utf16File("REGEDIT4\r\n[HKEY_CURRENT_USER\\K]\r\n\"a\\nb\"=\"x\"\r\n")},
        Broken{"truncated in the middle", kHead + "\"ProductID\"=hex:d4,c6,\\\n  01,"}),
    [](const ::testing::TestParamInfo<Broken>& info) {
      std::string name;
      for (char c : std::string(info.param.what)) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      return name;
    });

}  // namespace
