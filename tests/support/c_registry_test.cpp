// cRegistry over every registry backend: what each operation returns, what
// it stores, which keys it opens with which rights, and that it leaves no key
// open behind it.
#include "support/c_registry.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "fakes/recording_registry.hpp"
#include "fakes/registry_backends.hpp"
#include "fakes/registry_test_helpers.hpp"
#include "support/runtime_error.hpp"

namespace {

const std::string kRoot = "Software\\Tessarine";
constexpr std::int32_t kHkcu = static_cast<std::int32_t>(Reg::CurrentUser);
constexpr std::int32_t kHklm = static_cast<std::int32_t>(Reg::LocalMachine);

RegValue Text(const std::string& s) { return RegValue(s); }
RegValue Number(std::int32_t n) { return RegValue(n); }
RegValue Array(const std::vector<std::uint8_t>& b) { return RegValue(ByteArray(b)); }

// The run-time error number a call raises, or 0.
template <typename Call>
int ErrorOf(Call call) {
  try {
    call();
  } catch (const RuntimeError& e) {
    return e.Number();
  }
  return 0;
}

class cRegistryTest : public ::testing::TestWithParam<RegistryBackendFactory> {
 protected:
  void SetUp() override {
    backend_ = GetParam().make();
    recorder_ = std::make_unique<RecordingRegistryApi>(backend_->Api());
    env_.codePage = backend_->Api().CodePage();
    env_.vars["LK_HOME"] = "/home/zo\xC3\xAB";  // "zoë"
    reg_ = std::make_unique<cRegistry>(*recorder_, env_);
    reg_->RootKey(kRoot);
  }
  void TearDown() override { EXPECT_EQ(recorder_->OpenHandles(), 0u) << "a key was left open"; }

  IRegistryApi& raw() { return backend_->Api(); }
  // Stores a value directly, below HKEY_CURRENT_USER.
  void Put(const std::string& path, const std::string& name, std::uint32_t type,
           const std::vector<std::uint8_t>& data) {
    const RegHandle key = MustCreate(raw(), Reg::CurrentUser, path);
    ASSERT_EQ(WriteStored(raw(), key, name, type, data), Reg::Success);
    raw().CloseKey(key);
  }
  StoredValue Get(const std::string& path, const std::string& name) {
    return ReadStoredAt(raw(), Reg::CurrentUser, path, name);
  }
  bool Exists(const std::string& path, RegHandle root = Reg::CurrentUser) {
    RegHandle key = 0;
    if (raw().OpenKeyEx(root, path, Reg::KeyRead, &key) != Reg::Success) return false;
    raw().CloseKey(key);
    return true;
  }

  std::unique_ptr<RegistryBackend> backend_;
  std::unique_ptr<RecordingRegistryApi> recorder_;
  FakeEnvironment env_;
  std::unique_ptr<cRegistry> reg_;
};

// ---- RegRead ----

TEST_P(cRegistryTest, ReadingFromAMissingKeyCreatesItAndGivesTheNulText) {
  EXPECT_EQ(reg_->RegRead("\\LarkspireBrowser\\Main", "App Version"), Text(std::string(1, '\0')));
  EXPECT_TRUE(Exists(kRoot + "\\LarkspireBrowser\\Main")) << "the empty key stays";
  EXPECT_EQ(reg_->RegRead("\\LarkspireBrowser\\Main", "App Version"), Text("")) << "now only the value is missing";
}

TEST_P(cRegistryTest, ReadingAMissingValueGivesEmptyText) {
  Put(kRoot + "\\Main", "other", Reg::Sz, BytesZ("x"));
  EXPECT_EQ(reg_->RegRead("\\Main", "absent"), Text(""));
}

struct ReadRow {
  const char* what;
  std::uint32_t type;
  std::vector<std::uint8_t> data;
  RegValue expected;
};

TEST_P(cRegistryTest, ReadGivesEachTypeItsKindOfValue) {
  const std::vector<ReadRow> rows = {
      {"text", Reg::Sz, BytesZ("3.02.0012"), Text("3.02.0012")},
      {"text up to its first NUL", Reg::Sz, Bytes(std::string("ab\0cd\0", 6)), Text("ab")},
      {"empty text", Reg::Sz, BytesZ(""), Text("")},
      {"text of no bytes", Reg::Sz, {}, Text("")},
      {"text without a NUL is taken whole", Reg::Sz, Bytes("ab"), Text("ab")},
      {"text in the code page", Reg::Sz, BytesZ(InCodePage(raw(), "caf\xE9 \x80")), Text("caf\xC3\xA9 \xE2\x82\xAC")},
      {"text keeps its blanks", Reg::Sz, BytesZ(" 3.02.0012 "), Text(" 3.02.0012 ")},
      {"first text of a list", Reg::MultiSz, Bytes(std::string("first\0second\0\0", 14)), Text("first")},
      {"expandable text", Reg::ExpandSz, BytesZ("%LK_HOME%\\docs"), Text("/home/zo\xC3\xAB\\docs")},
      {"expandable text, name in other case", Reg::ExpandSz, BytesZ("%lk_home%"), Text("/home/zo\xC3\xAB")},
      {"expandable text, unknown name", Reg::ExpandSz, BytesZ("%LK_NOWHERE%\\x"), Text("%LK_NOWHERE%\\x")},
      {"expandable text loses its last byte", Reg::ExpandSz, Bytes("abc"), Text("ab")},
      {"expandable text of no bytes", Reg::ExpandSz, {}, Text("")},
      {"dword", Reg::Dword, {0x2A, 0, 0, 0}, Number(42)},
      {"dword, all bits", Reg::Dword, {0xFF, 0xFF, 0xFF, 0xFF}, Number(-1)},
      {"big-endian dword", Reg::DwordBigEndian, {0x12, 0x34, 0x56, 0x78}, Number(0x12345678)},
      {"big-endian dword, negative", Reg::DwordBigEndian, {0xFF, 0xFF, 0xFF, 0xFE}, Number(-2)},
      {"binary with one byte more", Reg::Binary, {0xD5, 0xC0, 0x01}, Array({0xD5, 0xC0, 0x01, 0x00})},
      {"empty binary", Reg::Binary, {}, Array({0x00})},
      {"none", Reg::None, {1, 2, 3}, Text("")},
      {"link", Reg::Link, {0x41, 0}, Text("")},
      {"type 8", 8, {1}, Text("")},
      {"type 0x12345678", 0x12345678u, {0xDE, 0xAD}, Text("")},
  };
  for (const auto& row : rows) Put(kRoot + "\\Types", row.what, row.type, row.data);
  for (const auto& row : rows) EXPECT_EQ(reg_->RegRead("\\Types", row.what), row.expected) << row.what;
}

TEST_P(cRegistryTest, ReadOfALargeBinaryValue) {
  std::vector<std::uint8_t> data(5000);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i);
  Put(kRoot + "\\Big", "blob", Reg::Binary, data);
  data.push_back(0);
  EXPECT_EQ(reg_->RegRead("\\Big", "blob"), Array(data));
}

TEST_P(cRegistryTest, RootKeyIsAPlainPrefix) {
  EXPECT_EQ(cRegistry(raw(), env_).RootKey(), "") << "empty when made";
  Put("Software\\Tessarine\\Main", "v", Reg::Sz, BytesZ("found"));
  reg_->RootKey("Software\\Tess");
  EXPECT_EQ(reg_->RootKey(), "Software\\Tess");
  EXPECT_EQ(reg_->RegRead("arine\\Main", "v"), Text("found")) << "no separator is added";
}

TEST_P(cRegistryTest, WithoutTheDefaultTheKeyIsTheSubkeyUnderTheGivenRoot) {
  Put("Elsewhere", "v", Reg::Sz, BytesZ("current user"));
  const RegHandle lm = MustCreate(raw(), Reg::LocalMachine, "Elsewhere");
  ASSERT_EQ(WriteStored(raw(), lm, "v", Reg::Sz, BytesZ("machine")), Reg::Success);
  raw().CloseKey(lm);

  EXPECT_EQ(reg_->RegRead("Elsewhere", "v", false, kHkcu), Text("current user"));
  EXPECT_EQ(reg_->RegRead("Elsewhere", "v", false, kHklm), Text("machine"));
  EXPECT_TRUE(reg_->RegWrite("Elsewhere", "w", Number(5), 4, false, kHklm));
  RegHandle key = 0;
  ASSERT_EQ(raw().OpenKeyEx(Reg::LocalMachine, "Elsewhere", Reg::KeyRead, &key), Reg::Success);
  EXPECT_EQ(ReadStored(raw(), key, "w").data, (std::vector<std::uint8_t>{5, 0, 0, 0}));
  raw().CloseKey(key);
}

TEST_P(cRegistryTest, AKeyThatCannotBeOpenedGivesTheFallbacks) {
  // Root 0 is no key at all.
  EXPECT_EQ(reg_->RegRead("Anything", "v", false, 0), Text(""));
  EXPECT_FALSE(reg_->RegWrite("Anything", "v", Text("x"), 1, false, 0));
  std::vector<std::string> arr{"kept"};
  EXPECT_FALSE(reg_->RegEnumKeys("Anything", arr, false, 0));
  EXPECT_FALSE(reg_->RegEnumValues("Anything", arr, false, 0));
  EXPECT_EQ(arr, std::vector<std::string>{"kept"});
  EXPECT_FALSE(Exists("Anything"));
}

TEST_P(cRegistryTest, NamesAndTextsCrossInTheRegistrysCodePage) {
  const std::string key =
      "\\Gr\xC3\xB6\xC3\x9F"
      "e";  // "Größe"
  ASSERT_TRUE(reg_->RegWrite(key, "W\xC3\xA4hrung", Text("\xE2\x82\xAC 5")));
  EXPECT_EQ(Get(kRoot + InCodePage(raw(),
                                   "\\Gr\xF6\xDF"
                                   "e"),
                InCodePage(raw(), "W\xE4hrung"))
                .data,
            BytesZ(InCodePage(raw(), "\x80 5")));
  EXPECT_EQ(reg_->RegRead(key, "W\xC3\xA4hrung"), Text("\xE2\x82\xAC 5"));

  // Windows-1252 has no "漢": it becomes "?" there; a UTF-8 registry keeps it.
  ASSERT_TRUE(reg_->RegWrite("\\Main", "han", Text("\xE6\xBC\xA2")));
  const bool utf8 = raw().CodePage() == TextCodePage::Utf8;
  EXPECT_EQ(Get(kRoot + "\\Main", "han").data, BytesZ(utf8 ? "\xE6\xBC\xA2" : "?"));
  EXPECT_EQ(reg_->RegRead("\\Main", "han"), Text(utf8 ? "\xE6\xBC\xA2" : "?"));
}

// ---- RegWrite ----

TEST_P(cRegistryTest, WriteOfTextStoresItWithItsNul) {
  ASSERT_TRUE(reg_->RegWrite("\\Main", "App Version", Text("3.02.0012")));
  StoredValue v = Get(kRoot + "\\Main", "App Version");
  EXPECT_EQ(v.type, Reg::Sz);
  EXPECT_EQ(v.data, BytesZ("3.02.0012"));

  ASSERT_TRUE(reg_->RegWrite("\\Main", "number as text", Number(-42), 1));
  EXPECT_EQ(Get(kRoot + "\\Main", "number as text").data, BytesZ("-42"));
  ASSERT_TRUE(reg_->RegWrite("\\Main", "empty", Text("")));
  EXPECT_EQ(Get(kRoot + "\\Main", "empty").data, BytesZ(""));
}

TEST_P(cRegistryTest, WriteOfBinaryStoresOneByteFewerThanTheArrayHolds) {
  ASSERT_TRUE(reg_->RegWrite("\\Main", "four", Array({0, 1, 2, 3}), 3));
  StoredValue v = Get(kRoot + "\\Main", "four");
  EXPECT_EQ(v.type, Reg::Binary);
  EXPECT_EQ(v.data, (std::vector<std::uint8_t>{0, 1, 2}));

  ASSERT_TRUE(reg_->RegWrite("\\Main", "one", Array({7}), 3));
  EXPECT_EQ(Get(kRoot + "\\Main", "one").data, std::vector<std::uint8_t>{}) << "an array of one stores nothing of it";
}

TEST_P(cRegistryTest, ABinaryValueReadAndWrittenBackStaysTheSame) {
  Put(kRoot + "\\Main", "three", Reg::Binary, {0xAA, 0xBB, 0xCC});
  const RegValue read = reg_->RegRead("\\Main", "three");
  ASSERT_EQ(read, Array({0xAA, 0xBB, 0xCC, 0x00}));
  ASSERT_TRUE(reg_->RegWrite("\\Main", "three", read, 3));
  EXPECT_EQ(Get(kRoot + "\\Main", "three").data, (std::vector<std::uint8_t>{0xAA, 0xBB, 0xCC}));
}

TEST_P(cRegistryTest, WriteOfBinaryNeedsAnArray) {
  EXPECT_FALSE(reg_->RegWrite("\\Main", "bin", Text("not bytes"), 3));
  EXPECT_FALSE(reg_->RegWrite("\\Main", "bin", Number(3), 3));
  EXPECT_EQ(Get(kRoot + "\\Main", "bin").rc, Reg::FileNotFound) << "nothing was written";
  EXPECT_EQ(ErrorOf([&] { reg_->RegWrite("\\Main", "bin", Array({}), 3); }), ErrNo::SubscriptOutOfRange)
      << "an array without bounds";
  EXPECT_EQ(Get(kRoot + "\\Main", "bin").rc, Reg::FileNotFound);
}

TEST_P(cRegistryTest, WriteOfANumber) {
  struct Row {
    RegValue data;
    std::vector<std::uint8_t> stored;
  };
  const std::vector<Row> rows = {{Number(42), {0x2A, 0, 0, 0}},
                                 {Number(-1), {0xFF, 0xFF, 0xFF, 0xFF}},
                                 {Number(0x12345678), {0x78, 0x56, 0x34, 0x12}},
                                 {Text("7"), {7, 0, 0, 0}},
                                 {Text(" -2 "), {0xFE, 0xFF, 0xFF, 0xFF}},
                                 {Text("2147483647"), {0xFF, 0xFF, 0xFF, 0x7F}}};
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const std::string name = "n" + std::to_string(i);
    ASSERT_TRUE(reg_->RegWrite("\\Main", name, rows[i].data, 4)) << i;
    const StoredValue v = Get(kRoot + "\\Main", name);
    EXPECT_EQ(v.type, Reg::Dword) << i;
    EXPECT_EQ(v.data, rows[i].stored) << i;
  }
}

TEST_P(cRegistryTest, ConversionErrorsReachTheCaller) {
  EXPECT_EQ(ErrorOf([&] { reg_->RegWrite("\\Main", "n", Text("abc"), 4); }), ErrNo::TypeMismatch);
  EXPECT_EQ(ErrorOf([&] { reg_->RegWrite("\\Main", "n", Text("2147483648"), 4); }), ErrNo::Overflow);
  EXPECT_EQ(ErrorOf([&] { reg_->RegWrite("\\Main", "n", Array({1, 2}), 4); }), ErrNo::TypeMismatch);
  EXPECT_EQ(ErrorOf([&] { reg_->RegWrite("\\Main", "n", Array({1, 2}), 1); }), ErrNo::TypeMismatch);
  EXPECT_EQ(Get(kRoot + "\\Main", "n").rc, Reg::FileNotFound);
}

TEST_P(cRegistryTest, OtherDatatypesWriteNothing) {
  for (std::int32_t type : {0, 2, 5, 7, 11}) {
    EXPECT_FALSE(reg_->RegWrite("\\Main", "odd", Text("x"), type)) << type;
    EXPECT_EQ(Get(kRoot + "\\Main", "odd").rc, Reg::FileNotFound) << type;
  }
}

TEST_P(cRegistryTest, WriteReplacesAValueOfAnotherType) {
  Put(kRoot + "\\Main", "ProductID", Reg::Sz, BytesZ("text before"));
  ASSERT_TRUE(reg_->RegWrite("\\Main", "ProductID", Array({1, 2, 3}), 3));
  const StoredValue v = Get(kRoot + "\\Main", "ProductID");
  EXPECT_EQ(v.type, Reg::Binary);
  EXPECT_EQ(v.data, (std::vector<std::uint8_t>{1, 2}));
}

// ---- which keys, which rights ----

TEST_P(cRegistryTest, EachOperationOpensItsKeyWithItsRights) {
  Put(kRoot + "\\Main\\Sub", "v", Reg::Sz, BytesZ("x"));
  std::vector<std::string> arr;
  reg_->RegRead("\\Main", "v");
  reg_->RegWrite("\\Main", "v", Text("y"));
  reg_->RegEnumKeys("\\Main", arr);
  reg_->RegEnumValues("\\Main", arr);
  ASSERT_EQ(recorder_->opens.size(), 4u);
  const std::string main = kRoot + "\\Main";
  const std::uint32_t expected[] = {Reg::KeyRead, Reg::KeyWrite, Reg::KeyRead, Reg::KeyRead};
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(recorder_->opens[i].call, "CreateKeyEx") << i;
    EXPECT_EQ(recorder_->opens[i].path, main) << i;
    EXPECT_EQ(recorder_->opens[i].access, expected[i]) << i;
  }
  EXPECT_EQ(Reg::KeyRead, 0x20019u);
  EXPECT_EQ(Reg::KeyWrite, 0x20006u);

  recorder_->opens.clear();
  ASSERT_TRUE(reg_->RegDelete("\\Main"));
  ASSERT_FALSE(recorder_->opens.empty());
  for (const auto& open : recorder_->opens) {
    EXPECT_EQ(open.call, "OpenKeyEx") << "deleting creates nothing: " << open.path;
    EXPECT_EQ(open.access, 0x10008u) << open.path;
  }
}

// ---- RegEnumKeys ----

TEST_P(cRegistryTest, EnumKeysListsTheSubkeysInOrder) {
  for (const char* n : {"qvmpanel", "Palvetta", "rillgauge", "Quillon"})
    Put(kRoot + "\\Components\\" + n, "", Reg::Sz, {});
  std::vector<std::string> arr;
  ASSERT_TRUE(reg_->RegEnumKeys("\\Components", arr));
  EXPECT_EQ(arr, (std::vector<std::string>{"Palvetta", "Quillon", "qvmpanel", "rillgauge"}));

  std::vector<std::string> longer{"1", "2", "3", "4", "5", "6"};
  ASSERT_TRUE(reg_->RegEnumKeys("\\Components", longer));
  EXPECT_EQ(longer, arr) << "the array is cut to the names found";
}

TEST_P(cRegistryTest, EnumKeysOfAKeyWithoutSubkeysLeavesTheArray) {
  Put(kRoot + "\\Leaf", "v", Reg::Sz, BytesZ("x"));
  std::vector<std::string> arr{"keep", "me"};
  EXPECT_TRUE(reg_->RegEnumKeys("\\Leaf", arr));
  EXPECT_EQ(arr, (std::vector<std::string>{"keep", "me"}));
}

TEST_P(cRegistryTest, EnumKeysOfAMissingKeyFailsAndLeavesItCreated) {
  std::vector<std::string> arr{"keep"};
  EXPECT_FALSE(reg_->RegEnumKeys("\\Nowhere", arr));
  EXPECT_EQ(arr, std::vector<std::string>{"keep"});
  EXPECT_TRUE(Exists(kRoot + "\\Nowhere"));
  EXPECT_TRUE(reg_->RegEnumKeys("\\Nowhere", arr)) << "it exists now";
}

TEST_P(cRegistryTest, EnumKeysGivesAtMost1025Names) {
  backend_->Seed([](RegistryHive& hive) {
    RegKeyNode* many = SeedKey(hive, Reg::CurrentUser, kRoot + "\\Many");
    char name[16];
    for (int i = 0; i < 1030; ++i) {
      std::snprintf(name, sizeof name, "k%04d", i);
      many->AddSubkey(name, nullptr);
    }
  });
  std::vector<std::string> arr;
  ASSERT_TRUE(reg_->RegEnumKeys("\\Many", arr));
  ASSERT_EQ(arr.size(), 1025u);
  EXPECT_EQ(arr.front(), "k0000");
  EXPECT_EQ(arr.back(), "k1024");
}

TEST_P(cRegistryTest, EnumKeysSkipsNamesLongerThanItsBuffer) {
  backend_->Seed([](RegistryHive& hive) {
    RegKeyNode* key = SeedKey(hive, Reg::CurrentUser, kRoot + "\\Long");
    // One character beyond the buffer: as long as a key name can get in
    // Wine's registry, one longer than Windows itself allows.
    key->AddSubkey(std::string(256, 'A'), nullptr);
    key->AddSubkey("B", nullptr);
    key->AddSubkey(std::string(256, 'C'), nullptr);
  });
  std::vector<std::string> arr;
  ASSERT_TRUE(reg_->RegEnumKeys("\\Long", arr));
  EXPECT_EQ(arr, (std::vector<std::string>{"", "B"})) << "a skipped name stays empty; a last one is not added";
}

// ---- RegEnumValues ----

// The values of these cases are named so that the order they are made in is
// also their name order: some registries enumerate values in name order.

TEST_P(cRegistryTest, EnumValuesGivesTheDataAsText) {
  const std::string key = kRoot + "\\Values";
  Put(key, "a minus one", Reg::Dword, {0xFF, 0xFF, 0xFF, 0xFF});
  Put(key, "b text", Reg::Sz, BytesZ("3.02.0012"));
  Put(key, "c forty-two", Reg::Dword, {0x2A, 0, 0, 0});
  Put(key, "d binary", Reg::Binary, Bytes("ABC"));
  Put(key, "e expandable", Reg::ExpandSz, BytesZ("%LK_HOME%"));
  Put(key, "f list", Reg::MultiSz, Bytes(std::string("a\0b\0\0", 5)));
  Put(key, "g euro", Reg::Sz, BytesZ(InCodePage(raw(), "\x80")));
  Put(key, "h short dword", Reg::Dword, {0xFF, 0xFF});
  Put(key, "i big-endian", Reg::DwordBigEndian, {0, 0, 0, 0x41});
  std::vector<std::string> arr;
  ASSERT_TRUE(reg_->RegEnumValues("\\Values", arr));
  EXPECT_EQ(arr, (std::vector<std::string>{"-1", "3.02.0012", "42", "AB", "%LK_HOME%", std::string("a\0b\0", 4),
                                           "\xE2\x82\xAC", "-1", std::string("\0\0\0", 3)}));
}

TEST_P(cRegistryTest, EnumValuesSkipsValuesTooLargeForItsBuffers) {
  const std::string key = kRoot + "\\Sizes";
  Put(key, "a too long", Reg::Binary, std::vector<std::uint8_t>(257, 'x'));
  Put(key, "b just fits", Reg::Binary, std::vector<std::uint8_t>(256, 'y'));
  Put(key, "c" + std::string(255, 'n'), Reg::Sz, BytesZ("long name"));
  Put(key, "d last", Reg::Sz, BytesZ("end"));
  std::vector<std::string> arr;
  ASSERT_TRUE(reg_->RegEnumValues("\\Sizes", arr));
  EXPECT_EQ(arr, (std::vector<std::string>{"", std::string(255, 'y'), "", "end"}));
}

TEST_P(cRegistryTest, EnumValuesFailsOnAValueWithoutData) {
  const std::string key = kRoot + "\\Empty";
  Put(key, "a", Reg::Sz, BytesZ("x"));
  Put(key, "b", Reg::Binary, {});
  Put(key, "c", Reg::Sz, BytesZ("y"));
  std::vector<std::string> arr;
  EXPECT_FALSE(reg_->RegEnumValues("\\Empty", arr));
  EXPECT_EQ(arr, std::vector<std::string>{"x"}) << "what came before the failure stays";

  Put(kRoot + "\\EmptyDword", "d", Reg::Dword, {});
  arr.clear();
  EXPECT_TRUE(reg_->RegEnumValues("\\EmptyDword", arr)) << "a number needs no text cut";
  EXPECT_EQ(arr, std::vector<std::string>{"0"});
}

TEST_P(cRegistryTest, EnumValuesOfMissingAndEmptyKeys) {
  std::vector<std::string> arr{"keep"};
  EXPECT_FALSE(reg_->RegEnumValues("\\Nowhere", arr));
  EXPECT_TRUE(Exists(kRoot + "\\Nowhere"));
  EXPECT_TRUE(reg_->RegEnumValues("\\Nowhere", arr));
  EXPECT_EQ(arr, std::vector<std::string>{"keep"});
}

TEST_P(cRegistryTest, EnumValuesGivesAtMost1025) {
  backend_->Seed([](RegistryHive& hive) {
    RegKeyNode* key = SeedKey(hive, Reg::CurrentUser, kRoot + "\\ManyValues");
    char name[16];
    for (int i = 0; i < 1030; ++i) {
      std::snprintf(name, sizeof name, "v%04d", i);
      key->SetValue(name, Reg::Sz, BytesZ(std::to_string(i)));
    }
  });
  std::vector<std::string> arr;
  ASSERT_TRUE(reg_->RegEnumValues("\\ManyValues", arr));
  ASSERT_EQ(arr.size(), 1025u);
  EXPECT_EQ(arr.back(), "1024");
}

// ---- RegDelete ----

TEST_P(cRegistryTest, DeleteRemovesTheKeyAndEverythingBelowDeepestFirst) {
  Put(kRoot + "\\Tree\\B\\D", "v", Reg::Sz, BytesZ("x"));
  Put(kRoot + "\\Tree\\B\\C", "v", Reg::Sz, BytesZ("x"));
  Put(kRoot + "\\Tree\\E", "v", Reg::Sz, BytesZ("x"));
  Put(kRoot + "\\Tree", "v", Reg::Sz, BytesZ("x"));
  Put(kRoot + "\\Sibling", "v", Reg::Sz, BytesZ("x"));

  ASSERT_TRUE(reg_->RegDelete("\\Tree"));
  const std::string t = kRoot + "\\Tree";
  EXPECT_EQ(recorder_->deleted, (std::vector<std::string>{t + "\\B\\D", t + "\\B\\C", t + "\\E", t + "\\B", t}));
  EXPECT_FALSE(Exists(t));
  EXPECT_TRUE(Exists(kRoot + "\\Sibling"));
  EXPECT_TRUE(Exists(kRoot));
}

TEST_P(cRegistryTest, DeleteOfAKeyWithoutSubkeys) {
  Put(kRoot + "\\Single", "v", Reg::Sz, BytesZ("x"));
  EXPECT_TRUE(reg_->RegDelete("\\Single"));
  EXPECT_FALSE(Exists(kRoot + "\\Single"));
}

TEST_P(cRegistryTest, DeleteOfAMissingKeyFails) {
  Put(kRoot, "v", Reg::Sz, BytesZ("x"));
  EXPECT_FALSE(reg_->RegDelete("\\Missing"));
  EXPECT_FALSE(reg_->RegDelete("\\Missing\\Deeper"));
  EXPECT_TRUE(recorder_->deleted.empty());
}

TEST_P(cRegistryTest, DeleteWithoutTheDefaultTakesThePathAsItIs) {
  Put("Other\\Branch\\Leaf", "v", Reg::Sz, BytesZ("x"));
  EXPECT_TRUE(reg_->RegDelete("Other\\Branch", false));
  EXPECT_FALSE(Exists("Other\\Branch"));
  EXPECT_TRUE(Exists("Other"));
}

TEST_P(cRegistryTest, DeleteOfAPathWithoutABackslashFindsNoParent) {
  Put("Solo", "v", Reg::Sz, BytesZ("x"));
  EXPECT_FALSE(reg_->RegDelete("Solo", false));
  EXPECT_TRUE(Exists("Solo"));
}

// Subkeys k0000, k0001, ... of a key, seeded in one step.
void SeedSubkeys(RegistryBackend& backend, const std::string& path, int count) {
  backend.Seed([&](RegistryHive& hive) {
    RegKeyNode* key = SeedKey(hive, Reg::CurrentUser, path);
    char name[16];
    for (int i = 0; i < count; ++i) {
      std::snprintf(name, sizeof name, "k%04d", i);
      key->AddSubkey(name, nullptr);
    }
  });
}

TEST_P(cRegistryTest, DeleteRefusesWhenAKeyBelowHasMoreThan2049Subkeys) {
  SeedSubkeys(*backend_, kRoot + "\\Big\\Crowded", 2050);
  Put(kRoot + "\\Big\\Other", "v", Reg::Sz, BytesZ("x"));
  EXPECT_FALSE(reg_->RegDelete("\\Big"));
  EXPECT_TRUE(recorder_->deleted.empty()) << "nothing is deleted";
  EXPECT_TRUE(Exists(kRoot + "\\Big\\Crowded\\k2049"));
  EXPECT_TRUE(Exists(kRoot + "\\Big\\Other"));
}

TEST_P(cRegistryTest, DeleteRefusesAt2049SubkeysBelow) {
  SeedSubkeys(*backend_, kRoot + "\\Full\\Crowded", 2049);
  EXPECT_FALSE(reg_->RegDelete("\\Full")) << "the enumeration never saw its end";
  EXPECT_TRUE(recorder_->deleted.empty());
}

TEST_P(cRegistryTest, DeleteTakes2048SubkeysBelow) {
  SeedSubkeys(*backend_, kRoot + "\\Fits\\Crowded", 2048);
  EXPECT_TRUE(reg_->RegDelete("\\Fits"));
  EXPECT_FALSE(Exists(kRoot + "\\Fits"));
  EXPECT_EQ(recorder_->deleted.size(), 2050u);
}

TEST_P(cRegistryTest, DeleteOfAKeyWithMoreThan2049SubkeysDeletesTheFirst2049Only) {
  SeedSubkeys(*backend_, kRoot + "\\Crowded", 2050);
  Put(kRoot + "\\Crowded\\k0000\\Below", "v", Reg::Sz, BytesZ("x"));
  EXPECT_FALSE(reg_->RegDelete("\\Crowded"));
  EXPECT_FALSE(Exists(kRoot + "\\Crowded\\k0000")) << "deleted with what was below it";
  EXPECT_FALSE(Exists(kRoot + "\\Crowded\\k2048"));
  EXPECT_TRUE(Exists(kRoot + "\\Crowded\\k2049")) << "the 2050th stays";
  EXPECT_TRUE(Exists(kRoot + "\\Crowded")) << "and so does the key itself";
  EXPECT_EQ(recorder_->deleted.size(), 2050u) << "2049 subkeys and the one below the first";
}

INSTANTIATE_TEST_SUITE_P(Backends, cRegistryTest, ::testing::ValuesIn(AllRegistryBackends()), RegistryBackendName());

// ---- the private helpers' rules ----

struct SplitRow {
  const char* path;
  const char* parent;
  const char* name;
};

class SplitKeyPath : public ::testing::TestWithParam<SplitRow> {};

TEST_P(SplitKeyPath, AtTheLastBackslash) {
  EXPECT_EQ(cRegistry::SplitKeyPath(GetParam().path, true), GetParam().parent);
  EXPECT_EQ(cRegistry::SplitKeyPath(GetParam().path, false), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(Paths, SplitKeyPath,
                         ::testing::Values(SplitRow{"Software\\Tessarine\\Main", "Software\\Tessarine", "Main"},
                                           SplitRow{"Software\\Tessarine", "Software", "Tessarine"},
                                           SplitRow{"Solo", "Solo", "Solo"}, SplitRow{"", "", ""},
                                           SplitRow{"\\Lead", "", "Lead"}, SplitRow{"Trail\\", "Trail", ""},
                                           SplitRow{"\\", "", ""}, SplitRow{"\\\\", "", ""},
                                           SplitRow{"a\\\\", "a\\", ""}));

TEST(SwapEndian, ReversesTheFourBytes) {
  EXPECT_EQ(cRegistry::SwapEndian(0x12345678), 0x78563412);
  EXPECT_EQ(cRegistry::SwapEndian(0x000000FF), static_cast<std::int32_t>(0xFF000000u));
  EXPECT_EQ(cRegistry::SwapEndian(static_cast<std::int32_t>(0x80000000u)), 0x00000080);
  EXPECT_EQ(cRegistry::SwapEndian(-1), -1);
  EXPECT_EQ(cRegistry::SwapEndian(0), 0);
}

struct NumberRow {
  std::vector<std::uint8_t> bytes;
  bool isUnsigned;
  double expected;
};

class BytesToNumber : public ::testing::TestWithParam<NumberRow> {};

TEST_P(BytesToNumber, LittleEndianWithTheLastByteSigned) {
  const auto& row = GetParam();
  EXPECT_EQ(cRegistry::BytesToNumber(row.bytes.data(), static_cast<std::int32_t>(row.bytes.size()), row.isUnsigned),
            row.expected);
}

INSTANTIATE_TEST_SUITE_P(Numbers, BytesToNumber,
                         ::testing::Values(NumberRow{{0xFF, 0xFF, 0xFF, 0xFF}, false, -1.0},
                                           NumberRow{{0xFF, 0xFF, 0xFF, 0xFF}, true, 4294967295.0},
                                           NumberRow{{0x2A, 0, 0, 0}, false, 42.0},
                                           NumberRow{{0, 0, 0, 0x80}, false, -2147483648.0},
                                           NumberRow{{0xFF, 0xFF, 0xFF, 0x7F}, false, 2147483647.0},
                                           NumberRow{{0x34, 0x12}, false, 4660.0}, NumberRow{{0xFF, 0xFF}, false, -1.0},
                                           NumberRow{{0x80}, false, 128.0} /* one byte stands alone */,
                                           NumberRow{{1, 2, 3, 4, 5}, false, 21542142465.0}));

class FailingEnvironment : public IEnvironment {
 public:
  std::uint32_t ExpandEnvironmentStrings(const char*, char*, std::uint32_t) override { return 0; }
};

TEST(ExpandEnvStr, ReplacesReferencesAndRaisesWhenTheExpansionFails) {
  FakeRegistry registry;
  FakeEnvironment env;
  env.vars["TEMP"] = "C:\\Temp";
  cRegistry reg(registry, env);
  EXPECT_EQ(reg.ExpandEnvStr("%TEMP%\\qvm"), "C:\\Temp\\qvm");
  EXPECT_EQ(reg.ExpandEnvStr("plain"), "plain");
  EXPECT_EQ(reg.ExpandEnvStr(""), "");

  FailingEnvironment broken;
  cRegistry failing(registry, broken);
  EXPECT_EQ(ErrorOf([&] { failing.ExpandEnvStr("%TEMP%"); }), ErrNo::InvalidArgument);
  const RegHandle key = MustCreate(registry, Reg::CurrentUser, "K");
  ASSERT_EQ(WriteStored(registry, key, "e", Reg::ExpandSz, BytesZ("%TEMP%")), Reg::Success);
  registry.CloseKey(key);
  EXPECT_EQ(ErrorOf([&] { failing.RegRead("K", "e", false, kHkcu); }), ErrNo::InvalidArgument)
      << "RegRead traps nothing";
  EXPECT_EQ(registry.OpenHandleCount(), 0u) << "and still closes its key";
}

}  // namespace
