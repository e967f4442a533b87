// The registry interface as every backend must provide it: the behaviour of
// the Win32 registry calls that cRegistry relies on. One suite, run once per
// backend.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/registry_backends.hpp"
#include "fakes/registry_test_helpers.hpp"

namespace {

class RegistryConformance : public ::testing::TestWithParam<RegistryBackendFactory> {
 protected:
  void SetUp() override { backend_ = GetParam().make(); }
  IRegistryApi& api() { return backend_->Api(); }
  RegHandle Create(const std::string& path, std::uint32_t access = kKeyAllAccess,
                   std::uint32_t* disposition = nullptr) {
    return MustCreate(api(), Reg::CurrentUser, path, access, disposition);
  }
  long Open(const std::string& path, RegHandle* key, std::uint32_t access = kKeyAllAccess) {
    return api().OpenKeyEx(Reg::CurrentUser, path, access, key);
  }
  // Names below are written in Windows-1252; each backend gets them in its code page.
  std::string Text(const std::string& ansi) { return InCodePage(api(), ansi); }
  bool Exists(const std::string& path) {
    RegHandle key = 0;
    if (Open(path, &key) != Reg::Success) return false;
    api().CloseKey(key);
    return true;
  }

  std::unique_ptr<RegistryBackend> backend_;
};

// ---- opening and creating ----

TEST_P(RegistryConformance, CreateReportsWhetherTheKeyWasNew) {
  std::uint32_t first = 0, second = 0;
  const RegHandle a = Create("Software\\Conformance", kKeyAllAccess, &first);
  const RegHandle b = Create("Software\\Conformance", kKeyAllAccess, &second);
  EXPECT_EQ(first, Reg::CreatedNewKey);
  EXPECT_EQ(second, Reg::OpenedExistingKey);
  EXPECT_NE(a, b) << "each open gives a handle of its own";
  EXPECT_EQ(api().CloseKey(a), Reg::Success);
  EXPECT_EQ(api().CloseKey(b), Reg::Success);
}

TEST_P(RegistryConformance, CreateMakesEveryMissingKeyOnThePath) {
  std::uint32_t disposition = 0;
  api().CloseKey(Create("One\\Two\\Three", kKeyAllAccess, &disposition));
  EXPECT_EQ(disposition, Reg::CreatedNewKey);
  EXPECT_TRUE(Exists("One"));
  EXPECT_TRUE(Exists("One\\Two"));
  EXPECT_TRUE(Exists("One\\Two\\Three"));
}

TEST_P(RegistryConformance, CreateBelowAnOpenKeyAndWithAnEmptyPath) {
  const RegHandle parent = Create("Parent");
  std::uint32_t disposition = 0;
  const RegHandle child = MustCreate(api(), parent, "Child", kKeyAllAccess, &disposition);
  EXPECT_EQ(disposition, Reg::CreatedNewKey);
  EXPECT_TRUE(Exists("Parent\\Child"));

  // An empty path opens the key itself again.
  const RegHandle again = MustCreate(api(), child, "", kKeyAllAccess, &disposition);
  EXPECT_EQ(disposition,
            backend_->Has(RegistryQuirk::EmptyPathReportsCreated) ? Reg::CreatedNewKey : Reg::OpenedExistingKey);
  ASSERT_EQ(WriteStored(api(), again, "v", Reg::Dword, {1, 2, 3, 4}), Reg::Success);
  EXPECT_EQ(ReadStored(api(), child, "v").data, (std::vector<std::uint8_t>{1, 2, 3, 4}));
  for (RegHandle h : {again, child, parent}) EXPECT_EQ(api().CloseKey(h), Reg::Success);
}

TEST_P(RegistryConformance, OpenFindsOnlyExistingKeysAndCreatesNothing) {
  RegHandle key = 0;
  EXPECT_EQ(Open("Missing", &key), Reg::FileNotFound);
  EXPECT_EQ(Open("Missing\\Deeper", &key), Reg::FileNotFound);
  char name[256];
  std::uint32_t len = sizeof name;
  EXPECT_EQ(api().EnumKeyEx(Reg::CurrentUser, 0, name, &len), Reg::NoMoreItems) << "nothing was created";

  api().CloseKey(Create("Present\\Inner"));
  ASSERT_EQ(Open("Present\\Inner", &key), Reg::Success);
  EXPECT_EQ(api().CloseKey(key), Reg::Success);
}

TEST_P(RegistryConformance, RootsAreSeparate) {
  api().CloseKey(MustCreate(api(), Reg::LocalMachine, "Software\\OnlyHere"));
  RegHandle key = 0;
  EXPECT_EQ(api().OpenKeyEx(Reg::CurrentUser, "Software\\OnlyHere", kKeyAllAccess, &key), Reg::FileNotFound);
  EXPECT_EQ(api().OpenKeyEx(Reg::LocalMachine, "Software\\OnlyHere", kKeyAllAccess, &key), Reg::Success);
  api().CloseKey(key);
}

TEST_P(RegistryConformance, KeyNamesUpTo255Characters) {
  const RegHandle names = Create("Names");
  const std::string longest(255, 'k');
  api().CloseKey(MustCreate(api(), names, longest));
  RegHandle key = 0;
  ASSERT_EQ(api().OpenKeyEx(names, longest, kKeyAllAccess, &key), Reg::Success);
  api().CloseKey(key);

  std::size_t refused = 256;
  if (backend_->Has(RegistryQuirk::KeyNamesOf256Characters)) {
    const std::string oneMore(256, 'm');
    api().CloseKey(MustCreate(api(), names, oneMore));
    ASSERT_EQ(api().DeleteKey(names, oneMore), Reg::Success);
    refused = 257;
  }
  std::uint32_t disposition = 0;
  EXPECT_NE(api().CreateKeyEx(names, std::string(refused, 'k'), kKeyAllAccess, &key, &disposition), Reg::Success);
  EXPECT_EQ(SubkeyNames(api(), names), std::vector<std::string>{longest}) << "the failed create left nothing behind";
  api().CloseKey(names);
}

// ---- names: case-insensitive, case-preserving ----

TEST_P(RegistryConformance, KeyNamesIgnoreCaseAndKeepTheirFirstSpelling) {
  api().CloseKey(Create(Text("Software\\MixedCase\\Caf\xE9")));
  std::uint32_t disposition = 0;
  const RegHandle upper = Create(Text("SOFTWARE\\mixedcase\\CAF\xC9"), kKeyAllAccess, &disposition);
  EXPECT_EQ(disposition, Reg::OpenedExistingKey) << "letters of the code page fold too";
  api().CloseKey(upper);

  const RegHandle software = Create("software");
  EXPECT_EQ(SubkeyNames(api(), software), std::vector<std::string>{"MixedCase"});
  api().CloseKey(software);
  const RegHandle mixed = Create("Software\\MixedCase");
  EXPECT_EQ(SubkeyNames(api(), mixed), std::vector<std::string>{Text("Caf\xE9")});
  api().CloseKey(mixed);
}

TEST_P(RegistryConformance, ValueNamesIgnoreCaseAndKeepTheirFirstSpelling) {
  const RegHandle key = Create("Values");
  ASSERT_EQ(WriteStored(api(), key, "Colour", Reg::Sz, BytesZ("red")), Reg::Success);
  EXPECT_EQ(ReadStored(api(), key, "COLOUR").data, BytesZ("red"));
  ASSERT_EQ(WriteStored(api(), key, "cOLOUR", Reg::Sz, BytesZ("blue")), Reg::Success);

  char name[64];
  std::uint32_t nameLen = sizeof name;
  std::uint32_t type = 0;
  std::uint8_t data[64];
  std::uint32_t dataLen = sizeof data;
  ASSERT_EQ(api().EnumValue(key, 0, name, &nameLen, &type, data, &dataLen), Reg::Success);
  EXPECT_EQ(std::string(name, nameLen), "Colour");
  EXPECT_EQ(std::vector<std::uint8_t>(data, data + dataLen), BytesZ("blue"));
  nameLen = sizeof name;
  dataLen = sizeof data;
  EXPECT_EQ(api().EnumValue(key, 1, name, &nameLen, &type, data, &dataLen), Reg::NoMoreItems) << "still one value";
  api().CloseKey(key);
}

// ---- values ----

TEST_P(RegistryConformance, QueryGivesTypeAndSizeWithoutABuffer) {
  const RegHandle key = Create("Query");
  ASSERT_EQ(WriteStored(api(), key, "bin", Reg::Binary, {9, 8, 7, 6, 5}), Reg::Success);
  std::uint32_t type = 0, size = 0;
  EXPECT_EQ(api().QueryValueEx(key, "bin", &type, nullptr, &size), Reg::Success);
  EXPECT_EQ(type, Reg::Binary);
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(api().QueryValueEx(key, "absent", &type, nullptr, &size), Reg::FileNotFound);
  api().CloseKey(key);
}

TEST_P(RegistryConformance, QueryBufferRules) {
  const RegHandle key = Create("Query");
  const std::vector<std::uint8_t> stored = {1, 2, 3, 4, 5, 6};
  ASSERT_EQ(WriteStored(api(), key, "v", Reg::Binary, stored), Reg::Success);
  std::uint32_t type = 0;

  std::vector<std::uint8_t> small(5, 0xEE);
  std::uint32_t size = 5;
  EXPECT_EQ(api().QueryValueEx(key, "v", &type, small.data(), &size), Reg::MoreData);
  EXPECT_EQ(size, 6u) << "the size needed";

  std::vector<std::uint8_t> exact(6, 0xEE);
  size = 6;
  EXPECT_EQ(api().QueryValueEx(key, "v", &type, exact.data(), &size), Reg::Success);
  EXPECT_EQ(exact, stored);

  std::vector<std::uint8_t> large(10, 0xEE);
  size = 10;
  EXPECT_EQ(api().QueryValueEx(key, "v", &type, large.data(), &size), Reg::Success);
  EXPECT_EQ(size, 6u) << "the size read";
  EXPECT_EQ(std::vector<std::uint8_t>(large.begin(), large.begin() + 6), stored);
  EXPECT_EQ(large[6], 0xEE) << "nothing written past the data";
  api().CloseKey(key);
}

struct TypedData {
  const char* what;
  std::uint32_t type;
  std::vector<std::uint8_t> data;
};

std::vector<TypedData> EveryKindOfValue() {
  std::vector<std::uint8_t> allBytes(256);
  for (int i = 0; i < 256; ++i) allBytes[i] = static_cast<std::uint8_t>(i);
  std::vector<std::uint8_t> large(70000);
  for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<std::uint8_t>(i * 13 + 7);
  return {
      {"text", Reg::Sz, BytesZ("3.02.0012")},
      {"empty text", Reg::Sz, BytesZ("")},
      {"text without its NUL", Reg::Sz, Bytes("no end")},
      {"text with NULs inside", Reg::Sz, Bytes(std::string("a\0b\0\0", 5))},
      {"text of no bytes", Reg::Sz, {}},
      {"text with quotes and backslashes", Reg::Sz, BytesZ("say \"hi\" \\ C:\\dir\\ \\\\\"")},
      {"text ending in a backslash", Reg::Sz, BytesZ("C:\\")},
      {"text with control characters", Reg::Sz, BytesZ("tab\there\r\nnew line\x01\x1f\x7f")},
      {"text of code-page letters", Reg::Sz, BytesZ("\x80\x8a\x9f\xa0\xe9\xff")},
      {"text with undefined code-page bytes", Reg::Sz, BytesZ("\x81\x8d\x8f\x90\x9d")},
      {"text with blanks around", Reg::Sz, BytesZ("  padded  ")},
      {"expandable text", Reg::ExpandSz, BytesZ("%HOME%\\x")},
      {"list of texts", Reg::MultiSz, Bytes(std::string("first\0second\0\0", 14))},
      {"dword", Reg::Dword, {0x78, 0x56, 0x34, 0x12}},
      {"dword of three bytes", Reg::Dword, {1, 2, 3}},
      {"dword of eight bytes", Reg::Dword, {1, 2, 3, 4, 5, 6, 7, 8}},
      {"big-endian dword", Reg::DwordBigEndian, {0x12, 0x34, 0x56, 0x78}},
      {"binary of every byte", Reg::Binary, allBytes},
      {"empty binary", Reg::Binary, {}},
      {"large binary", Reg::Binary, large},
      {"none", Reg::None, {}},
      {"none with data", Reg::None, {0, 1, 2}},
      {"link", Reg::Link, {0x5c, 0, 0x41, 0}},
      {"type 8", 8, {0xAA}},
      {"type 0x12345678", 0x12345678u, {0xDE, 0xAD, 0xBE, 0xEF}},
      {"type 0xFFFFFFFF", 0xFFFFFFFFu, BytesZ("odd")},
  };
}

TEST_P(RegistryConformance, EveryTypeIsStoredByteForByte) {
  const auto cases = EveryKindOfValue();
  const RegHandle key = Create("Software\\Types");
  for (std::size_t i = 0; i < cases.size(); ++i)
    ASSERT_EQ(WriteStored(api(), key, cases[i].what, cases[i].type, cases[i].data), Reg::Success) << cases[i].what;
  api().CloseKey(key);

  // Read back through this client and through a fresh one.
  auto another = backend_->OpenAnother();
  for (IRegistryApi* reader : {&api(), another.get()}) {
    for (const auto& c : cases) {
      const StoredValue v = ReadStoredAt(*reader, Reg::CurrentUser, "Software\\Types", c.what);
      EXPECT_EQ(v.rc, Reg::Success) << c.what;
      EXPECT_EQ(v.type, c.type) << c.what;
      EXPECT_EQ(v.data, c.data) << c.what;
    }
  }
}

TEST_P(RegistryConformance, WritingAgainReplacesTypeAndData) {
  const RegHandle key = Create("Replace");
  ASSERT_EQ(WriteStored(api(), key, "v", Reg::Sz, BytesZ("a long text value")), Reg::Success);
  ASSERT_EQ(WriteStored(api(), key, "v", Reg::Binary, {1}), Reg::Success);
  const StoredValue v = ReadStored(api(), key, "v");
  EXPECT_EQ(v.type, Reg::Binary);
  EXPECT_EQ(v.data, std::vector<std::uint8_t>{1});
  api().CloseKey(key);
}

TEST_P(RegistryConformance, TheUnnamedValueIsAValueOfItsOwn) {
  const RegHandle key = Create("Default");
  ASSERT_EQ(WriteStored(api(), key, "", Reg::Sz, BytesZ("default")), Reg::Success);
  ASSERT_EQ(WriteStored(api(), key, "@", Reg::Sz, BytesZ("at sign")), Reg::Success);
  EXPECT_EQ(ReadStored(api(), key, "").data, BytesZ("default"));
  EXPECT_EQ(ReadStored(api(), key, "@").data, BytesZ("at sign"));
  auto another = backend_->OpenAnother();
  EXPECT_EQ(ReadStoredAt(*another, Reg::CurrentUser, "Default", "").data, BytesZ("default"));
  EXPECT_EQ(ReadStoredAt(*another, Reg::CurrentUser, "Default", "@").data, BytesZ("at sign"));
  api().CloseKey(key);
}

TEST_P(RegistryConformance, OddNamesSurvive) {
  const std::vector<std::string> keyNames = {"[bracketed]", "a]b", " spaced ", "semi;colon",      "quote\"d",
                                             "equals=sign", "@",   "-dash",    "caf\xE9\x80\xFF", "\x81\x8d\x8f"};
  const std::vector<std::string> valueNames = {"\"", "\\", "a\\", "=", "[x]", ";", "caf\xE9\x80", "\x81", " "};
  for (const auto& k : keyNames) {
    const RegHandle key = Create("Odd\\" + Text(k));
    for (const auto& v : valueNames)
      ASSERT_EQ(WriteStored(api(), key, Text(v), Reg::Sz, BytesZ(k + v)), Reg::Success) << k << " / " << v;
    api().CloseKey(key);
  }
  auto another = backend_->OpenAnother();
  for (const auto& k : keyNames)
    for (const auto& v : valueNames)
      EXPECT_EQ(ReadStoredAt(*another, Reg::CurrentUser, "Odd\\" + Text(k), Text(v)).data, BytesZ(k + v))
          << k << " / " << v;
}

// ---- enumeration ----

TEST_P(RegistryConformance, SubkeysAreEnumeratedInNameOrderWhateverTheCase) {
  const RegHandle key = Create("Sorted");
  for (const char* n : {"b", "C", "a", "B2", "\xE9t\xE9", "Z", "0"}) api().CloseKey(MustCreate(api(), key, Text(n)));
  EXPECT_EQ(SubkeyNames(api(), key), (std::vector<std::string>{"0", "a", "b", "B2", "C", "Z", Text("\xE9t\xE9")}));
  api().CloseKey(key);
}

TEST_P(RegistryConformance, EnumKeyEndCodeAndNameBuffer) {
  const RegHandle key = Create("Enum");
  api().CloseKey(MustCreate(api(), key, "abcdef"));
  char name[16];
  std::uint32_t len = 7;  // six characters and the NUL
  ASSERT_EQ(api().EnumKeyEx(key, 0, name, &len), Reg::Success);
  EXPECT_EQ(len, 6u) << "the length without the NUL";
  EXPECT_EQ(std::string(name), "abcdef") << "the name is NUL-terminated";

  len = 6;  // no room for the NUL
  EXPECT_EQ(api().EnumKeyEx(key, 0, name, &len), Reg::MoreData);
  len = sizeof name;
  EXPECT_EQ(api().EnumKeyEx(key, 1, name, &len), Reg::NoMoreItems);
  len = sizeof name;
  EXPECT_EQ(api().EnumKeyEx(key, 1000, name, &len), Reg::NoMoreItems);
  api().CloseKey(key);
}

TEST_P(RegistryConformance, EnumKeyWithA255CharacterName) {
  const RegHandle key = Create("Long");
  api().CloseKey(MustCreate(api(), key, std::string(255, 'n')));
  char name[256];
  std::uint32_t len = 256;
  ASSERT_EQ(api().EnumKeyEx(key, 0, name, &len), Reg::Success);
  EXPECT_EQ(len, 255u);
  len = 255;
  EXPECT_EQ(api().EnumKeyEx(key, 0, name, &len), Reg::MoreData);
  api().CloseKey(key);
}

TEST_P(RegistryConformance, EnumValueByIndexInTheOrderWritten) {
  const RegHandle key = Create("Values");
  ASSERT_EQ(WriteStored(api(), key, "first", Reg::Sz, BytesZ("one")), Reg::Success);
  ASSERT_EQ(WriteStored(api(), key, "second", Reg::Dword, {2, 0, 0, 0}), Reg::Success);
  ASSERT_EQ(WriteStored(api(), key, "Another", Reg::Binary, {}), Reg::Success);

  struct Expected {
    const char* name;
    std::uint32_t type;
    std::vector<std::uint8_t> data;
  };
  const Expected first{"first", Reg::Sz, BytesZ("one")}, second{"second", Reg::Dword, {2, 0, 0, 0}},
      another{"Another", Reg::Binary, {}};
  const std::vector<Expected> expected = backend_->Has(RegistryQuirk::ValuesInNameOrder)
                                             ? std::vector<Expected>{another, first, second}
                                             : std::vector<Expected>{first, second, another};
  for (std::uint32_t i = 0; i < expected.size(); ++i) {
    char name[256];
    std::uint32_t nameLen = 256;
    std::uint32_t type = 0;
    std::uint8_t data[257];
    std::uint32_t dataLen = 256;
    ASSERT_EQ(api().EnumValue(key, i, name, &nameLen, &type, data, &dataLen), Reg::Success) << i;
    EXPECT_EQ(std::string(name, nameLen), expected[i].name);
    EXPECT_EQ(name[nameLen], '\0');
    EXPECT_EQ(type, expected[i].type);
    EXPECT_EQ(std::vector<std::uint8_t>(data, data + dataLen), expected[i].data);
  }
  char name[256];
  std::uint32_t nameLen = 256, type = 0, dataLen = 256;
  std::uint8_t data[256];
  EXPECT_EQ(api().EnumValue(key, 3, name, &nameLen, &type, data, &dataLen), Reg::NoMoreItems);
  api().CloseKey(key);
}

TEST_P(RegistryConformance, EnumValueBufferRules) {
  const RegHandle key = Create("Buffers");
  ASSERT_EQ(WriteStored(api(), key, std::string(300, 'v'), Reg::Sz, BytesZ("long name")), Reg::Success);
  // Named so that it comes second in name order as well.
  ASSERT_EQ(WriteStored(api(), key, "wide", Reg::Binary, std::vector<std::uint8_t>(300, 7)), Reg::Success);

  char name[512];
  std::uint8_t data[512];
  std::uint32_t type = 0;

  std::uint32_t nameLen = 256, dataLen = 256;
  EXPECT_EQ(api().EnumValue(key, 0, name, &nameLen, &type, data, &dataLen), Reg::MoreData) << "name too long";
  nameLen = 301;
  dataLen = 256;
  ASSERT_EQ(api().EnumValue(key, 0, name, &nameLen, &type, data, &dataLen), Reg::Success);
  EXPECT_EQ(nameLen, 300u);

  nameLen = 256;
  dataLen = 256;
  EXPECT_EQ(api().EnumValue(key, 1, name, &nameLen, &type, data, &dataLen), Reg::MoreData) << "data too long";
  EXPECT_EQ(dataLen, 300u) << "the size needed";
  nameLen = 256;
  dataLen = 0;
  ASSERT_EQ(api().EnumValue(key, 1, name, &nameLen, &type, nullptr, &dataLen), Reg::Success)
      << "without a buffer only the size is asked for";
  EXPECT_EQ(dataLen, 300u);
  EXPECT_EQ(std::string(name, nameLen), "wide");
  api().CloseKey(key);
}

// ---- deleting ----

TEST_P(RegistryConformance, DeleteKeyWithoutSubkeys) {
  const RegHandle parent = Create("Del");
  const RegHandle leaf = MustCreate(api(), parent, "Leaf");
  ASSERT_EQ(WriteStored(api(), leaf, "v", Reg::Sz, BytesZ("gone")), Reg::Success);
  api().CloseKey(leaf);
  EXPECT_EQ(api().DeleteKey(parent, "leaf"), Reg::Success) << "names match without case here too";
  EXPECT_FALSE(Exists("Del\\Leaf"));

  std::uint32_t disposition = 0;
  const RegHandle again = MustCreate(api(), parent, "Leaf", kKeyAllAccess, &disposition);
  EXPECT_EQ(disposition, Reg::CreatedNewKey);
  EXPECT_EQ(ReadStored(api(), again, "v").rc, Reg::FileNotFound) << "its values went with it";
  api().CloseKey(again);
  api().CloseKey(parent);
}

TEST_P(RegistryConformance, DeleteKeyRefusesAKeyWithSubkeys) {
  api().CloseKey(Create("Del\\Inner\\Deepest"));
  EXPECT_EQ(api().DeleteKey(Reg::CurrentUser, "Del\\Inner"), Reg::AccessDenied);
  EXPECT_TRUE(Exists("Del\\Inner\\Deepest"));
  EXPECT_EQ(api().DeleteKey(Reg::CurrentUser, "Del\\Inner\\Deepest"), Reg::Success) << "a path below the handle";
  EXPECT_TRUE(Exists("Del\\Inner"));
  EXPECT_EQ(api().DeleteKey(Reg::CurrentUser, "Del\\Inner"), Reg::Success);
  EXPECT_TRUE(Exists("Del"));
}

TEST_P(RegistryConformance, DeleteMissingKeyFails) {
  api().CloseKey(Create("Del"));
  EXPECT_EQ(api().DeleteKey(Reg::CurrentUser, "Del\\Nothing"), Reg::FileNotFound);
  EXPECT_EQ(api().DeleteKey(Reg::CurrentUser, "Nowhere\\Nothing"), Reg::FileNotFound);
}

// ---- handles ----

TEST_P(RegistryConformance, ClosedHandlesAreInvalid) {
  const RegHandle key = Create("Handles");
  EXPECT_EQ(api().CloseKey(key), Reg::Success);
  EXPECT_EQ(api().CloseKey(key), Reg::InvalidHandle);
  std::uint32_t type = 0, size = 0;
  EXPECT_EQ(api().QueryValueEx(key, "v", &type, nullptr, &size), Reg::InvalidHandle);
  EXPECT_EQ(WriteStored(api(), key, "v", Reg::Sz, BytesZ("x")), Reg::InvalidHandle);
  char name[256];
  std::uint32_t len = 256;
  EXPECT_EQ(api().EnumKeyEx(key, 0, name, &len), Reg::InvalidHandle);
  EXPECT_EQ(api().CloseKey(0x5A5A5A5Au), Reg::InvalidHandle) << "a handle never given out";
}

TEST_P(RegistryConformance, HandlesToADeletedKeyReportIt) {
  const RegHandle doomed = Create("Parent\\Doomed");
  api().CloseKey(Create("Parent\\Doomed"));
  ASSERT_EQ(api().DeleteKey(Reg::CurrentUser, "Parent\\Doomed"), Reg::Success);

  std::uint32_t type = 0, size = 0;
  EXPECT_EQ(api().QueryValueEx(doomed, "v", &type, nullptr, &size), Reg::KeyDeleted);
  EXPECT_EQ(WriteStored(api(), doomed, "v", Reg::Sz, BytesZ("x")), Reg::KeyDeleted);
  char name[256];
  std::uint32_t len = 256;
  EXPECT_EQ(api().EnumKeyEx(doomed, 0, name, &len), Reg::KeyDeleted);
  RegHandle child = 0;
  std::uint32_t disposition = 0;
  EXPECT_EQ(api().CreateKeyEx(doomed, "Child", kKeyAllAccess, &child, &disposition), Reg::KeyDeleted);

  // A new key of the same name is another key: the old handle still names the deleted one.
  api().CloseKey(Create("Parent\\Doomed"));
  EXPECT_EQ(WriteStored(api(), doomed, "v", Reg::Sz, BytesZ("x")), Reg::KeyDeleted);
  EXPECT_EQ(ReadStoredAt(api(), Reg::CurrentUser, "Parent\\Doomed", "v").rc, Reg::FileNotFound);
  EXPECT_EQ(api().CloseKey(doomed), Reg::Success) << "a handle to a deleted key still closes";
}

TEST_P(RegistryConformance, AKeyDeletedByAnotherClientIsReportedDeleted) {
  const RegHandle key = Create("Shared\\Key");
  auto another = backend_->OpenAnother();
  ASSERT_EQ(another->DeleteKey(Reg::CurrentUser, "Shared\\Key"), Reg::Success);
  std::uint32_t type = 0, size = 0;
  EXPECT_EQ(api().QueryValueEx(key, "v", &type, nullptr, &size), Reg::KeyDeleted);
  EXPECT_EQ(api().CloseKey(key), Reg::Success);
}

TEST_P(RegistryConformance, ChangesOfOneClientAreSeenByAnother) {
  auto another = backend_->OpenAnother();
  const RegHandle mine = Create("Shared");
  const RegHandle theirs = MustCreate(*another, Reg::CurrentUser, "Shared");
  ASSERT_EQ(WriteStored(api(), mine, "v", Reg::Sz, BytesZ("first")), Reg::Success);
  EXPECT_EQ(ReadStored(*another, theirs, "v").data, BytesZ("first"));
  ASSERT_EQ(WriteStored(*another, theirs, "v", Reg::Sz, BytesZ("later")), Reg::Success);
  EXPECT_EQ(ReadStored(api(), mine, "v").data, BytesZ("later"));
  api().CloseKey(mine);
  another->CloseKey(theirs);
}

// ---- access rights ----

TEST_P(RegistryConformance, AReadHandleCannotChangeAnything) {
  api().CloseKey(Create("Rights"));
  RegHandle key = 0;
  ASSERT_EQ(Open("Rights", &key, Reg::KeyRead), Reg::Success);
  EXPECT_EQ(WriteStored(api(), key, "v", Reg::Sz, BytesZ("x")), Reg::AccessDenied);
  RegHandle child = 0;
  std::uint32_t disposition = 0;
  if (backend_->Has(RegistryQuirk::CreateWithoutCreateSubKeyRight)) {
    ASSERT_EQ(api().CreateKeyEx(key, "Child", kKeyAllAccess, &child, &disposition), Reg::Success);
    api().CloseKey(child);
    ASSERT_EQ(api().DeleteKey(Reg::CurrentUser, "Rights\\Child"), Reg::Success);
  } else {
    EXPECT_EQ(api().CreateKeyEx(key, "Child", kKeyAllAccess, &child, &disposition), Reg::AccessDenied)
        << "creating a subkey needs KEY_CREATE_SUB_KEY";
  }
  EXPECT_FALSE(Exists("Rights\\Child"));
  api().CloseKey(key);
  EXPECT_EQ(ReadStoredAt(api(), Reg::CurrentUser, "Rights", "v").rc, Reg::FileNotFound);
}

TEST_P(RegistryConformance, AWriteHandleCannotRead) {
  const RegHandle full = Create("Rights");
  ASSERT_EQ(WriteStored(api(), full, "v", Reg::Sz, BytesZ("x")), Reg::Success);
  api().CloseKey(MustCreate(api(), full, "Child"));
  api().CloseKey(full);

  RegHandle key = 0;
  ASSERT_EQ(Open("Rights", &key, Reg::KeyWrite), Reg::Success);
  std::uint32_t type = 0, size = 0;
  EXPECT_EQ(api().QueryValueEx(key, "v", &type, nullptr, &size), Reg::AccessDenied);
  char name[256];
  std::uint32_t len = 256;
  EXPECT_EQ(api().EnumKeyEx(key, 0, name, &len), Reg::AccessDenied);
  std::uint32_t dataLen = 0;
  len = 256;
  EXPECT_EQ(api().EnumValue(key, 0, name, &len, &type, nullptr, &dataLen), Reg::AccessDenied);
  EXPECT_EQ(WriteStored(api(), key, "w", Reg::Sz, BytesZ("y")), Reg::Success);
  api().CloseKey(key);
}

TEST_P(RegistryConformance, DeleteAndEnumerateRightsOnly) {
  api().CloseKey(Create("Rights\\Child"));
  RegHandle key = 0;
  ASSERT_EQ(Open("Rights", &key, Reg::Delete | Reg::EnumerateSubKeys), Reg::Success);
  EXPECT_EQ(SubkeyNames(api(), key), std::vector<std::string>{"Child"});
  std::uint32_t type = 0, size = 0;
  EXPECT_EQ(api().QueryValueEx(key, "v", &type, nullptr, &size), Reg::AccessDenied);
  EXPECT_EQ(api().DeleteKey(key, "Child"), Reg::Success);
  api().CloseKey(key);
}

INSTANTIATE_TEST_SUITE_P(Backends, RegistryConformance, ::testing::ValuesIn(AllRegistryBackends()),
                         RegistryBackendName());

}  // namespace
