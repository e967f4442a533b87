// The per-user registry file of the Linux build and the system's registry
// editor: a branch exported with "regedit /E" reads into our format with the
// same types and bytes, and our file (made REGEDIT4 and saved in
// Windows-1252) imports with "regedit /S" the same way.
#include <gtest/gtest.h>

#include "fakes/registry_test_helpers.hpp"
#include "platform/common/registry_file_format.hpp"
#include "platform/win32/win32_prelude.hpp"
#include "win32/win32_registry_backend.hpp"

namespace {

int RunRegistryEditor(std::string arguments) {
  arguments = "regedit.exe " + arguments;
  STARTUPINFOA startup{sizeof startup};
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, arguments.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return -1;
  DWORD code = 1;
  if (WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

RegKeyNode* Key(RegistryHive& hive, const std::string& path, bool create) {
  std::vector<std::string> parts;
  SplitRegPath(path, &parts);
  RegKeyNode* node = hive.Root(Reg::CurrentUser);
  for (const auto& p : parts) node = !node ? nullptr : create ? node->AddSubkey(p, nullptr) : node->FindSubkey(p);
  return node;
}

TEST(RegistryInterchange, TheRegistryEditorAndOurFileAgreeBothWays) {
  Win32ScratchRegistry scratch;
  Win32RegistryApi api;
  Win32FileSystem files;
  std::vector<std::uint8_t> every(256);
  for (int i = 0; i < 256; ++i) every[i] = static_cast<std::uint8_t>(i);
  const std::vector<std::tuple<std::string, std::uint32_t, std::vector<std::uint8_t>>> rows = {
      {"App Version", Reg::Sz, BytesZ("3.02.0012")},
      {"", Reg::Sz, BytesZ("the default")},
      {"Caf\xE9 \x80", Reg::Sz, BytesZ("\xE9t\xE9 \x80 \x81\x8D \xFF")},
      {"=[x];@\"\\", Reg::Sz, BytesZ("say \"hi\" \\ C:\\")},
      {"lines", Reg::Sz, BytesZ("tab\t\r\nnext\x01")},
      {"Temp", Reg::ExpandSz, BytesZ("%TEMP%\\qvm \xE9")},
      {"Plugins", Reg::MultiSz, Bytes(std::string("a\0s\xE9\0\0", 6))},
      {"Count", Reg::Dword, {0xFF, 0xFF, 0xFF, 0xFF}},
      {"Big", Reg::DwordBigEndian, {0x12, 0x34, 0x56, 0x78}},
      {"ProductID", Reg::Binary, every},
      {"none", Reg::None, {0, 1}},
      {"eight", 8, {0xAA}}};
  RegistryHive ours;
  RegKeyNode* imported = Key(ours, scratch.CurrentUserPath() + "\\Imported", true);
  const RegHandle key = MustCreate(api, Reg::CurrentUser, "Exported\\Caf\xE9 [a]");
  for (const auto& [name, type, data] : rows) {
    ASSERT_EQ(WriteStored(api, key, name, type, data), Reg::Success);
    imported->SetValue(name, type, data);
  }
  api.CloseKey(key);

  const std::string file =
      files.GetTempPath() + "larkspire-interchange-" + std::to_string(GetCurrentProcessId()) + ".reg";
  ASSERT_EQ(RunRegistryEditor("/E \"" + file + "\" \"HKEY_CURRENT_USER\\" + scratch.CurrentUserPath() + "\\Exported\""),
            0);
  const auto reader = files.OpenRead(file);
  std::string bytes(static_cast<std::size_t>(reader->Length()), '\0');
  reader->Read(reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size());
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE") << "the registry editor writes UTF-16";
  RegistryHive exported;
  std::string error;
  ASSERT_TRUE(ParseRegistryFile(bytes, &exported, &error)) << error;
  const RegKeyNode* node = Key(exported, scratch.CurrentUserPath() + "\\Exported\\Caf\xE9 [a]", false);
  ASSERT_NE(node, nullptr);

  std::string text = SerializeRegistryFile(ours);
  const auto ansi = Utf8ToAnsiExact("REGEDIT4\n" + text.substr(text.find('\n') + 1));
  ASSERT_TRUE(ansi);
  files.WriteFile(file, Bytes(*ansi));
  ASSERT_EQ(RunRegistryEditor("/S \"" + file + "\""), 0);
  files.Kill(file);
  for (const auto& [name, type, data] : rows) {
    const RegStoredValue* v = node->FindValue(name);
    ASSERT_NE(v, nullptr) << name;
    EXPECT_EQ(v->type, type) << name;
    EXPECT_EQ(v->data, data) << name << " in the export";
    const StoredValue back = ReadStoredAt(api, Reg::CurrentUser, "Imported", name);
    EXPECT_EQ(back.type, type) << name;
    EXPECT_EQ(back.data, data) << name << " after the import";
  }
}

}  // namespace
