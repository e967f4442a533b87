// The registry as the program uses it on Windows: cRegistry and the product
// identifier over advapi32 and ExpandEnvironmentStringsA, and the places
// where the system's registry and the in-memory tree of the Linux stores
// part ways.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/fake_platform.hpp"
#include "fakes/recording_registry.hpp"
#include "fakes/registry_test_helpers.hpp"
#include "install_state/product_id.hpp"
#include "install_state/product_id_rules.hpp"
#include "platform/win32/win32_prelude.hpp"
#include "support/c_registry.hpp"
#include "support/codepage.hpp"
#include "win32/win32_registry_backend.hpp"

namespace {

const std::string kMain = "Software\\Tessarine\\LarkspireBrowser\\Main";

class Win32Registry : public ::testing::Test {
 protected:
  Win32ScratchRegistry scratch_;
  Win32RegistryApi registry_;
  Win32Environment environment_;
};

// ---- cRegistry over the system's calls ----

TEST_F(Win32Registry, ExpandableTextsTakeTheProcesssEnvironment) {
  ASSERT_TRUE(SetEnvironmentVariableA("LK_WIN32_HOME", "C:\\users\\zo\xEB"));
  const RegHandle key = MustCreate(registry_, Reg::CurrentUser, "Software\\Tessarine\\Paths");
  ASSERT_EQ(WriteStored(registry_, key, "docs", Reg::ExpandSz, BytesZ("%lk_win32_home%\\docs %LK_NOWHERE%")),
            Reg::Success);
  registry_.CloseKey(key);

  cRegistry reg(registry_, environment_);
  reg.RootKey("Software\\Tessarine");
  EXPECT_EQ(reg.RegRead("\\Paths", "docs"), RegValue(std::string("C:\\users\\zo\xC3\xAB\\docs %LK_NOWHERE%")));
  SetEnvironmentVariableA("LK_WIN32_HOME", nullptr);
}

TEST_F(Win32Registry, WhatCRegistryWritesIsWhatTheSystemHolds) {
  cRegistry reg(registry_, environment_);
  reg.RootKey("Software\\Tessarine");
  ASSERT_TRUE(reg.RegWrite("\\Main", "App Version", RegValue(std::string("3.02.0012"))));
  ASSERT_TRUE(reg.RegWrite("\\Main", "W\xC3\xA4hrung", RegValue(std::string("\xE2\x82\xAC 5"))));
  ASSERT_TRUE(reg.RegWrite("\\Main", "Count", RegValue(std::int32_t{-2}), 4));

  // Read back through the wide calls: the system holds the texts in
  // Unicode, so this shows that the code page conversions agree.
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Tessarine\\Main", 0, KEY_READ, &key), ERROR_SUCCESS);
  wchar_t text[64] = {};
  DWORD size = sizeof text;
  DWORD type = 0;
  ASSERT_EQ(RegQueryValueExW(key, L"W\u00E4hrung", nullptr, &type, reinterpret_cast<BYTE*>(text), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(std::wstring(text), L"\u20AC 5");
  DWORD number = 0;
  size = sizeof number;
  ASSERT_EQ(RegQueryValueExW(key, L"Count", nullptr, &type, reinterpret_cast<BYTE*>(&number), &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(number, 0xFFFFFFFEu);
  RegCloseKey(key);
}

// ---- the product identifier ----

class ProductIdOnWindows : public Win32Registry {
 protected:
  // One start of the wizard as far as the identifier goes.
  std::string Start(int* writes) {
    RecordingRegistryApi recorder(registry_);
    cRegistry reg(recorder, environment_);
    reg.RootKey("Software\\Tessarine");
    const std::string id = GetProductID(reg, guid_);
    *writes = recorder.setValueCalls;
    EXPECT_EQ(recorder.OpenHandles(), 0u);
    return id;
  }
  Win32GuidSource guid_;
};

TEST_F(ProductIdOnWindows, MadeFromCoCreateGuidStoredAndReadBackUnchanged) {
  int writes = 0;
  const std::string id = Start(&writes);
  ASSERT_TRUE(IsValidProductID(id)) << id;
  EXPECT_EQ(writes, 1);

  const StoredValue v = ReadStoredAt(registry_, Reg::CurrentUser, kMain, "ProductID");
  EXPECT_EQ(v.type, Reg::Binary);
  std::vector<std::uint8_t> expected = Utf8ToUtf16LeBytes(ScrambleText(kProductIdKeyPhrase, id));
  expected.pop_back();
  EXPECT_EQ(v.data, expected) << "71 bytes: the scrambled text in UTF-16, less its last byte";

  int again = -1;
  EXPECT_EQ(Start(&again), id);
  EXPECT_EQ(again, 0) << "the next start only reads";
}

TEST_F(ProductIdOnWindows, EachInstallationGetsItsOwn) {
  int writes = 0;
  const std::string first = Start(&writes);
  ASSERT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Tessarine"), ERROR_SUCCESS);
  const std::string second = Start(&writes);
  EXPECT_TRUE(IsValidProductID(second));
  EXPECT_NE(first, second);
}

// ---- where the system's registry and the Linux stores part ways ----

// A caller that leaves the NUL out of the count of a text is taken to have
// forgotten it when the byte after the data is a NUL, and the NUL is kept.
// The Linux stores keep exactly the bytes counted: they cannot look past
// the data they are given. cRegistry always counts the NUL, so the program
// never meets the difference.
TEST_F(Win32Registry, TheNulAfterUncountedTextIsKept) {
  FakeRegistry tree;
  for (IRegistryApi* api : std::vector<IRegistryApi*>{&registry_, &tree}) {
    const RegHandle key = MustCreate(*api, Reg::CurrentUser, "Software\\Uncounted");
    const char withNul[] = "abc";  // a NUL follows the three counted bytes
    const char withoutNul[] = "abcX";
    for (std::uint32_t type : {Reg::Sz, Reg::ExpandSz, Reg::MultiSz}) {
      ASSERT_EQ(api->SetValueEx(key, "nul", type, reinterpret_cast<const std::uint8_t*>(withNul), 3), Reg::Success);
      ASSERT_EQ(api->SetValueEx(key, "x", type, reinterpret_cast<const std::uint8_t*>(withoutNul), 3), Reg::Success);
      const bool system = api == &registry_;
      EXPECT_EQ(ReadStored(*api, key, "nul").data, system ? BytesZ("abc") : Bytes("abc")) << type;
      EXPECT_EQ(ReadStored(*api, key, "x").data, Bytes("abc")) << type;
    }
    const std::uint8_t binary[] = {1, 2, 0};
    ASSERT_EQ(api->SetValueEx(key, "bin", Reg::Binary, binary, 2), Reg::Success);
    EXPECT_EQ(ReadStored(*api, key, "bin").data, (std::vector<std::uint8_t>{1, 2})) << "only texts";
    api->CloseKey(key);
  }
}

// Wine's single-byte calls take a key path of at most 260 characters
// (ERROR_MORE_DATA beyond); the wide calls and the Linux stores take longer
// ones. The program's own paths are far shorter.
TEST_F(Win32Registry, WineTakesKeyPathsOfUpTo260CharactersInTheSingleByteCalls) {
  if (!RunningUnderWine()) GTEST_SKIP() << "Wine's limit";
  const std::string at260 = "Software\\" + std::string(120, 'a') + "\\" + std::string(130, 'b');
  const std::string at261 = at260 + "c";
  ASSERT_EQ(at260.size(), 260u);
  FakeRegistry tree;
  RegHandle key = 0;
  std::uint32_t disposition = 0;
  ASSERT_EQ(registry_.CreateKeyEx(Reg::CurrentUser, at260, kKeyAllAccess, &key, &disposition), Reg::Success);
  registry_.CloseKey(key);
  EXPECT_EQ(registry_.CreateKeyEx(Reg::CurrentUser, at261, kKeyAllAccess, &key, &disposition), Reg::MoreData);
  EXPECT_EQ(registry_.OpenKeyEx(Reg::CurrentUser, at261, kKeyAllAccess, &key), Reg::MoreData);
  ASSERT_EQ(tree.CreateKeyEx(Reg::CurrentUser, at261, kKeyAllAccess, &key, &disposition), Reg::Success);
  tree.CloseKey(key);
}

}  // namespace
