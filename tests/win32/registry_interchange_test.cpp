// The per-user registry file of the Linux build and the system's registry
// editor: a branch exported with "regedit /E" reads into our format with the
// same keys, types and bytes; a file written in our format imports with
// "regedit" the same way; and the product identifier written on either side
// is read back unchanged on the other.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <sstream>
#include <string>
#include <vector>

#include "fakes/recording_registry.hpp"
#include "fakes/registry_test_helpers.hpp"
#include "install_state/product_id.hpp"
#include "install_state/product_id_rules.hpp"
#include "platform/common/registry_file_format.hpp"
#include "platform/win32/win32_prelude.hpp"
#include "support/codepage.hpp"
#include "win32/scratch_folder.hpp"
#include "win32/win32_registry_backend.hpp"

namespace {

// Runs the system's registry editor with the arguments and waits for it;
// its exit code, or -1 when it could not run or did not end in time.
int RunRegistryEditor(const std::string& arguments) {
  char windows[MAX_PATH] = {};
  GetWindowsDirectoryA(windows, sizeof windows);
  std::string command = "\"" + std::string(windows) + "\\regedit.exe\" " + arguments;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return -1;
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (std::uint8_t b : bytes) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

// Every key and value below a node, one line each, in name order, so that
// two branches can be compared whatever order their values were made in.
void Describe(const RegKeyNode& node, const std::string& path, std::vector<std::string>* lines) {
  lines->push_back("[" + path + "]");
  for (const auto& v : node.values)
    lines->push_back(path + " \"" + FoldName(v.name) + "\" (" + v.name + ") type " + std::to_string(v.type) + " " +
                     Hex(v.data));
  for (const auto& sub : node.subkeys) Describe(*sub, path + "\\" + sub->name, lines);
}

std::string Describe(const RegKeyNode& node) {
  std::vector<std::string> lines;
  Describe(node, "", &lines);
  std::sort(lines.begin(), lines.end());
  std::ostringstream out;
  for (const auto& l : lines) out << l << "\n";
  return out.str();
}

const RegKeyNode* Find(const RegistryHive& hive, const std::string& path) {
  std::vector<std::string> parts;
  SplitRegPath(path, &parts);
  const RegKeyNode* node = hive.Root(Reg::CurrentUser);
  for (const auto& p : parts) {
    if (!node) return nullptr;
    node = node->FindSubkey(p);
  }
  return node;
}

// What a branch should hold: values of every kind the program's registry
// can meet, below keys with names that need care in the file.
void FillBranch(RegKeyNode* branch) {
  std::vector<std::uint8_t> everyByte(256);
  for (int i = 0; i < 256; ++i) everyByte[i] = static_cast<std::uint8_t>(i);
  RegKeyNode* main = branch->AddSubkey("Software", nullptr)->AddSubkey("Tessarine", nullptr);
  main = main->AddSubkey("LarkspireBrowser", nullptr)->AddSubkey("Main", nullptr);
  main->SetValue("App Version", Reg::Sz, BytesZ("3.02.0012"));
  main->SetValue("App Path", Reg::Sz, BytesZ("C:\\Program Files\\Larkspire\\"));
  main->SetValue("Caf\xE9 \x80", Reg::Sz, BytesZ("\xE9t\xE9 \x80 \x81\x8D\x8F\x90\x9D \xFF"));
  main->SetValue("quote \" and \\", Reg::Sz, BytesZ("say \"hi\" \\ C:\\dir\\"));
  main->SetValue("lines", Reg::Sz, BytesZ("tab\there\r\nnext line\x01\x1F\x7F"));
  main->SetValue("", Reg::Sz, BytesZ("the key's default"));
  main->SetValue("empty", Reg::Sz, BytesZ(""));
  main->SetValue("Temp", Reg::ExpandSz, BytesZ("%TEMP%\\qvm \xE9"));
  main->SetValue("Plugins", Reg::MultiSz, Bytes(std::string("first\0s\xE9\x63ond\0\0", 14)));
  main->SetValue("Count", Reg::Dword, {0x2A, 0, 0, 0});
  main->SetValue("All bits", Reg::Dword, {0xFF, 0xFF, 0xFF, 0xFF});
  main->SetValue("Big", Reg::DwordBigEndian, {0x12, 0x34, 0x56, 0x78});
  main->SetValue("ProductID", Reg::Binary, everyByte);
  main->SetValue("no bytes", Reg::Binary, {});
  main->SetValue("nothing", Reg::None, {});
  main->SetValue("none with data", Reg::None, {0, 1, 2});
  main->SetValue("eight", 8, {0xAA, 0xBB});
  main->SetValue("=[x];@", Reg::Sz, BytesZ("odd name"));
  RegKeyNode* components = branch->AddSubkey("Software", nullptr)->AddSubkey("Tessarine", nullptr);
  components = components->AddSubkey("Components", nullptr);
  for (const char* name : {"quillon", "a]b [c]", " spaced ", "caf\xE9", "semi;colon", "@"})
    components->AddSubkey(name, nullptr)->SetValue("Version", Reg::Sz, BytesZ("2.01.0003"));
  branch->AddSubkey("Empty key", nullptr);
}

class RegistryInterchange : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<unsigned> counter{0};
    branch_ =
        "Software\\LarkspireInterchange\\" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
    RegDeleteTreeA(HKEY_CURRENT_USER, branch_.c_str());
  }
  void TearDown() override {
    RegDeleteTreeA(HKEY_CURRENT_USER, branch_.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\LarkspireInterchange");
  }

  // The branch as the system's registry holds it, through the single-byte calls.
  RegistryHive System() {
    RegistryHive hive;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, branch_.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
      RegKeyNode* node = hive.Root(Reg::CurrentUser);
      std::vector<std::string> parts;
      SplitRegPath(branch_, &parts);
      for (const auto& p : parts) node = node->AddSubkey(p, nullptr);
      ReadRegistryBranch(reinterpret_cast<RegHandle>(key), node);
      RegCloseKey(key);
    }
    return hive;
  }
  // Writes the branch into the system's registry through the registry calls.
  void Store(const RegKeyNode& want) {
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExA(HKEY_CURRENT_USER, branch_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    WriteRegistryBranch(reinterpret_cast<RegHandle>(key), RegKeyNode(), want);
    RegCloseKey(key);
  }
  // The branch exported by the registry editor and read by our format.
  RegistryHive Exported() {
    const std::string file = folder_.Path() + "export.reg";
    EXPECT_EQ(RunRegistryEditor("/E \"" + file + "\" \"HKEY_CURRENT_USER\\" + branch_ + "\""), 0);
    std::string bytes;
    const auto reader = files_.OpenRead(file);
    bytes.resize(static_cast<std::size_t>(reader->Length()));
    EXPECT_EQ(reader->Read(reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size()), bytes.size());
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE") << "the registry editor writes UTF-16";
    RegistryHive hive;
    std::string error;
    EXPECT_TRUE(ParseRegistryFile(bytes, &hive, &error)) << error;
    return hive;
  }
  // Imports a file's bytes with the registry editor.
  void Import(const std::string& bytes) {
    const std::string file = folder_.Path() + "import.reg";
    files_.WriteFile(file, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    ASSERT_EQ(RunRegistryEditor("/S \"" + file + "\""), 0);
  }
  // A hive holding the branch with what FillBranch puts in it.
  RegistryHive Filled() {
    RegistryHive hive;
    RegKeyNode* node = hive.Root(Reg::CurrentUser);
    std::vector<std::string> parts;
    SplitRegPath(branch_, &parts);
    for (const auto& p : parts) node = node->AddSubkey(p, nullptr);
    FillBranch(node);
    return hive;
  }

  std::string branch_;
  ScratchFolder folder_;
  Win32FileSystem files_;
};

TEST_F(RegistryInterchange, AnExportOfTheRegistryEditorReadsWithTheSameKeysTypesAndBytes) {
  const RegistryHive want = Filled();
  Store(*Find(want, branch_));
  const RegistryHive system = System();
  ASSERT_EQ(Describe(*Find(system, branch_)), Describe(*Find(want, branch_))) << "stored as meant";

  const RegistryHive exported = Exported();
  const RegKeyNode* read = Find(exported, branch_);
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(Describe(*read), Describe(*Find(system, branch_)));
}

// Our file, with its first line made "REGEDIT4" (whose string data are
// single-byte, as ours are) and saved in Windows-1252, as the registry
// editor reads a file without a byte-order mark.
TEST_F(RegistryInterchange, OurFileImportsWithTheSameKeysTypesAndBytes) {
  const RegistryHive want = Filled();
  std::string text = SerializeRegistryFile(want);
  const std::string header = "Windows Registry Editor Version 5.00\n";
  ASSERT_EQ(text.substr(0, header.size()), header);
  text = "REGEDIT4\n" + text.substr(header.size());
  const auto ansi = Utf8ToAnsiExact(text);
  ASSERT_TRUE(ansi);
  Import(*ansi);
  EXPECT_EQ(Describe(*Find(System(), branch_)), Describe(*Find(want, branch_)));
}

// Wine's registry editor reads any file without a byte-order mark in the
// single-byte code page, hex(2) and hex(7) data included, so our file
// imports as it is when all its text is ASCII.
TEST_F(RegistryInterchange, OurFileImportsAsItIsWhenItsTextIsAscii) {
  if (!RunningUnderWine()) GTEST_SKIP() << "Windows takes string data of a Version 5.00 file as UTF-16";
  RegistryHive want;
  RegKeyNode* node = want.Root(Reg::CurrentUser);
  std::vector<std::string> parts;
  SplitRegPath(branch_, &parts);
  for (const auto& p : parts) node = node->AddSubkey(p, nullptr);
  node->SetValue("Temp", Reg::ExpandSz, BytesZ("%TEMP%\\qvm"));
  node->SetValue("Plugins", Reg::MultiSz, Bytes(std::string("a\0b\0\0", 5)));
  node->SetValue("text", Reg::Sz, BytesZ("3.02.0012"));
  node->SetValue("NUL inside", Reg::Sz, Bytes(std::string("a\0b\0", 4)));
  node->AddSubkey("Sub", nullptr)->SetValue("ProductID", Reg::Binary, {0xD4, 0x00, 0xFF});
  Import(SerializeRegistryFile(want));
  EXPECT_EQ(Describe(*Find(System(), branch_)), Describe(*Find(want, branch_)));
}

// Texts the registry editor's quoted form cannot carry: it writes every
// REG_SZ in quotes and up to its first NUL, taking the last character for
// the NUL; a REG_DWORD of other than four bytes becomes a dword: of four.
// Ours writes such values as hex(1) and hex(4), byte for byte.
TEST_F(RegistryInterchange, WhatTheRegistryEditorsExportAlters) {
  RegistryHive want;
  RegKeyNode* node = want.Root(Reg::CurrentUser);
  std::vector<std::string> parts;
  SplitRegPath(branch_, &parts);
  for (const auto& p : parts) node = node->AddSubkey(p, nullptr);
  node->SetValue("no NUL", Reg::Sz, Bytes("abc"));
  node->SetValue("NULs inside", Reg::Sz, Bytes(std::string("ab\0cd\0", 6)));
  node->SetValue("short dword", Reg::Dword, {1, 2, 3});
  Store(*node);
  ASSERT_EQ(Describe(*Find(System(), branch_)), Describe(*node));

  const RegistryHive exported = Exported();
  const RegKeyNode* read = Find(exported, branch_);
  ASSERT_NE(read, nullptr);
  RegKeyNode altered;
  altered.SetValue("no NUL", Reg::Sz, BytesZ("ab"));
  altered.SetValue("NULs inside", Reg::Sz, BytesZ("ab"));
  altered.SetValue("short dword", Reg::Dword, {1, 2, 3, 0});
  EXPECT_EQ(Describe(*read), Describe(altered));

  // Our own file carries them unchanged.
  RegistryHive again;
  std::string error;
  ASSERT_TRUE(ParseRegistryFile(SerializeRegistryFile(want), &again, &error)) << error;
  EXPECT_EQ(Describe(*Find(again, branch_)), Describe(*node));
}

// Text data without a final NUL get one on the way in: the registry editor
// ends every REG_SZ, REG_EXPAND_SZ and REG_MULTI_SZ it imports with a NUL.
TEST_F(RegistryInterchange, TheRegistryEditorEndsImportedTextsWithANul) {
  RegistryHive want;
  RegKeyNode* node = want.Root(Reg::CurrentUser);
  std::vector<std::string> parts;
  SplitRegPath(branch_, &parts);
  for (const auto& p : parts) node = node->AddSubkey(p, nullptr);
  node->SetValue("no NUL", Reg::Sz, Bytes("abc"));
  node->SetValue("NUL inside", Reg::Sz, Bytes(std::string("a\0b", 3)));
  node->SetValue("expandable", Reg::ExpandSz, Bytes("ab"));
  node->SetValue("list", Reg::MultiSz, Bytes("a"));
  node->SetValue("no bytes", Reg::Sz, {});
  node->SetValue("binary", Reg::Binary, Bytes("abc"));
  std::string text = SerializeRegistryFile(want);
  text = "REGEDIT4\n" + text.substr(text.find('\n') + 1);
  Import(text);

  RegKeyNode ended;
  ended.SetValue("no NUL", Reg::Sz, BytesZ("abc"));
  ended.SetValue("NUL inside", Reg::Sz, Bytes(std::string("a\0b\0", 4)));
  ended.SetValue("expandable", Reg::ExpandSz, BytesZ("ab"));
  ended.SetValue("list", Reg::MultiSz, BytesZ("a"));
  ended.SetValue("no bytes", Reg::Sz, {});
  ended.SetValue("binary", Reg::Binary, Bytes("abc"));
  EXPECT_EQ(Describe(*Find(System(), branch_)), Describe(ended));
}

// ---- the product identifier ----

class ProductIdInterchange : public RegistryInterchange {
 protected:
  // One start of the wizard as far as the identifier goes, with the
  // program's branch below this test's own.
  std::string Start(IRegistryApi& registry, int* writes) {
    RecordingRegistryApi recorder(registry);
    cRegistry reg(recorder, environment_);
    reg.RootKey(branch_ + "\\Software\\Tessarine");
    const std::string id = GetProductID(reg, guid_);
    *writes = recorder.setValueCalls;
    return id;
  }
  Win32Environment environment_;
  Win32GuidSource guid_;
};

TEST_F(ProductIdInterchange, WrittenOnWindowsReadFromTheExportOnLinux) {
  Win32RegistryApi system;
  int writes = 0;
  const std::string id = Start(system, &writes);
  ASSERT_TRUE(IsValidProductID(id));
  ASSERT_EQ(writes, 1);

  MemoryHiveStore store;
  store.Hive() = Exported();
  TreeRegistryApi linuxStore(store);
  EXPECT_EQ(Start(linuxStore, &writes), id);
  EXPECT_EQ(writes, 0) << "read, not made again";
}

TEST_F(ProductIdInterchange, WrittenOnLinuxReadOnWindowsAfterTheImport) {
  MemoryHiveStore store;
  TreeRegistryApi linuxStore(store);
  int writes = 0;
  const std::string id = Start(linuxStore, &writes);
  ASSERT_TRUE(IsValidProductID(id));
  ASSERT_EQ(writes, 1);

  Import(SerializeRegistryFile(store.Hive()));
  Win32RegistryApi system;
  EXPECT_EQ(Start(system, &writes), id);
  EXPECT_EQ(writes, 0) << "read, not made again";
}

}  // namespace
