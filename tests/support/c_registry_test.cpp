// cRegistry over the registry backend of the build: what each operation
// returns, what it stores, and that it leaves no key open behind it.
#include "support/c_registry.hpp"

#include <gtest/gtest.h>

#include "fakes/recording_registry.hpp"
#include "fakes/registry_backends.hpp"
#include "fakes/registry_test_helpers.hpp"

namespace {

const std::string kRoot = "Software\\Tessarine";
RegValue Text(const std::string& s) { return RegValue(s); }
RegValue Array(const std::vector<std::uint8_t>& b) { return RegValue(ByteArray(b)); }
using Names = std::vector<std::string>;

class cRegistryTest : public ::testing::Test {
 protected:
  cRegistryTest() {
    env_.codePage = raw().CodePage();
    env_.vars["LK_HOME"] = "/home/zo\xC3\xAB";
    reg_.RootKey(kRoot);
  }
  ~cRegistryTest() override { EXPECT_EQ(recorder_.OpenHandles(), 0u) << "a key was left open"; }
  IRegistryApi& raw() { return backend_->Api(); }
  void Put(const std::string& path, const std::string& name, std::uint32_t type,
           const std::vector<std::uint8_t>& data) {
    const RegHandle key = MustCreate(raw(), Reg::CurrentUser, kRoot + path);
    ASSERT_EQ(WriteStored(raw(), key, name, type, data), Reg::Success);
    raw().CloseKey(key);
  }
  bool Exists(const std::string& path) {
    RegHandle key = 0;
    return raw().OpenKeyEx(Reg::CurrentUser, kRoot + path, Reg::KeyRead, &key) == Reg::Success && !raw().CloseKey(key);
  }
  // Subkeys or values named 10000, 10001, ... (name order is number order).
  void Many(const std::string& path, int count, bool values) {
    const RegHandle key = MustCreate(raw(), Reg::CurrentUser, kRoot + path);
    for (int i = 10000; i < 10000 + count; ++i)
      ASSERT_EQ(values ? WriteStored(raw(), key, std::to_string(i), Reg::Sz, BytesZ(std::to_string(i)))
                       : raw().CloseKey(MustCreate(raw(), key, std::to_string(i))),
                Reg::Success);
    raw().CloseKey(key);
  }

  std::unique_ptr<RegistryBackend> backend_ = MakeRegistryBackend();
  RecordingRegistryApi recorder_{raw()};
  FakeEnvironment env_;
  cRegistry reg_{recorder_, env_};
};

TEST_F(cRegistryTest, ReadGivesEachTypeItsKindOfValue) {
  EXPECT_EQ(reg_.RegRead("\\Types", "v"), Text(std::string(1, '\0'))) << "a missing key: made, and a NUL";
  EXPECT_EQ(reg_.RegRead("\\Types", "v"), Text("")) << "a missing value";
  const struct {
    std::uint32_t type;
    std::vector<std::uint8_t> data;
    RegValue read;
  } rows[] = {{Reg::Sz, Bytes(std::string("ab\0cd\0", 6)), Text("ab")},
              {Reg::Sz, Bytes(" ab"), Text(" ab")},
              {Reg::MultiSz, Bytes(std::string("first\0second\0\0", 14)), Text("first")},
              {Reg::ExpandSz, BytesZ("%lk_home%\\d %LK_NONE%"), Text("/home/zo\xC3\xAB\\d %LK_NONE%")},
              {Reg::ExpandSz, Bytes("abc"), Text("ab")},
              {Reg::Dword, {0xFF, 0xFF, 0xFF, 0xFF}, RegValue(-1)},
              {Reg::DwordBigEndian, {0x12, 0x34, 0x56, 0x78}, RegValue(0x12345678)},
              {Reg::Binary, {0xD5, 0xC0, 0x01}, Array({0xD5, 0xC0, 0x01, 0x00})},
              {Reg::Binary, {}, Array({0x00})},
              {0x12345678u, {0xDE, 0xAD}, Text("")}};
  for (const auto& row : rows) {
    Put("\\Types", "v", row.type, row.data);
    EXPECT_EQ(reg_.RegRead("\\Types", "v"), row.read) << "row " << &row - rows;
  }
}

TEST_F(cRegistryTest, WriteStoresEachDatatypeOrRefuses) {
  const struct {
    RegValue data;
    std::int32_t datatype;
    int error;           // raised, or 0
    std::uint32_t type;  // stored, or 0 when RegWrite gives false and stores nothing
    std::vector<std::uint8_t> stored;
  } rows[] = {{Text("3.02.0012"), 1, 0, Reg::Sz, BytesZ("3.02.0012")},
              {RegValue(-42), 1, 0, Reg::Sz, BytesZ("-42")},
              {Array({0, 1, 2, 3}), 3, 0, Reg::Binary, {0, 1, 2}},
              {Array({7}), 3, 0, Reg::Binary, {}},
              {RegValue(0x12345678), 4, 0, Reg::Dword, {0x78, 0x56, 0x34, 0x12}},
              {Text(" -2 "), 4, 0, Reg::Dword, {0xFE, 0xFF, 0xFF, 0xFF}},
              {Text("x"), 3, 0, 0, {}},
              {Text("x"), 2, 0, 0, {}},
              {Array({}), 3, ErrNo::SubscriptOutOfRange, 0, {}},
              {Text("2147483648"), 4, ErrNo::Overflow, 0, {}},
              {Array({1, 2}), 1, ErrNo::TypeMismatch, 0, {}}};
  for (const auto& row : rows) {
    SCOPED_TRACE(&row - rows);
    Put("\\Main", "w", Reg::Sz, BytesZ("before"));
    bool written = false;
    EXPECT_EQ(ErrorOf([&] { written = reg_.RegWrite("\\Main", "w", row.data, row.datatype); }), row.error);
    const StoredValue v = ReadStoredAt(raw(), Reg::CurrentUser, kRoot + "\\Main", "w");
    EXPECT_EQ(std::make_tuple(written, v.type, v.data),
              std::make_tuple(row.type != 0, row.type ? row.type : Reg::Sz, row.type ? row.stored : BytesZ("before")));
  }
}

TEST_F(cRegistryTest, EnumListsUpTo1025SubkeysOrValuesInOrder) {
  Names arr{"keep"};
  EXPECT_FALSE(reg_.RegEnumKeys("Anything", arr, false, 0)) << "root 0 is no key";
  reg_.RootKey("Software\\Tess");  // a plain prefix
  EXPECT_FALSE(reg_.RegEnumKeys("arine\\Components", arr)) << "a missing key: made, and false";
  reg_.RootKey(kRoot);
  EXPECT_TRUE(reg_.RegEnumKeys("\\Components", arr) && arr == Names{"keep"}) << "no subkeys leave the array";
  for (const char* n : {"qvmpanel", "Palvetta", "rillgauge", "Quillon"})
    Put("\\Components\\" + std::string(n), "", Reg::Sz, {});
  arr = Names(6, "old");
  ASSERT_TRUE(reg_.RegEnumKeys("\\Components", arr));
  EXPECT_EQ(arr, (Names{"Palvetta", "Quillon", "qvmpanel", "rillgauge"})) << "cut to the names found";
  Many("\\Many", 1026, false);
  Many("\\Many", 1026, true);
  EXPECT_TRUE(reg_.RegEnumKeys("\\Many", arr) && arr.size() == 1025u && arr.back() == "11024");
  EXPECT_TRUE(reg_.RegEnumValues("\\Many", arr) && arr.size() == 1025u && arr.back() == "11024");
}

TEST_F(cRegistryTest, EnumValuesGivesTheDataAsText) {
  // Named "a", "b", ... in the order made (Wine enumerates in name order); "h" has 256 letters, too many.
  const std::pair<std::uint32_t, std::vector<std::uint8_t>> values[] = {
      {Reg::Dword, {0xFF, 0xFF, 0xFF, 0xFF}},
      {Reg::Binary, Bytes("ABC")},
      {Reg::ExpandSz, BytesZ("%LK_HOME%")},
      {Reg::MultiSz, Bytes(std::string("a\0b\0\0", 5))},
      {Reg::Dword, {0xFF, 0xFF}},
      {Reg::Binary, std::vector<std::uint8_t>(257, 'x')},
      {Reg::Binary, std::vector<std::uint8_t>(256, 'y')},
      {Reg::Sz, BytesZ("name too long")},
      {Reg::Dword, {}},
      {Reg::Binary, {}},
      {Reg::Sz, BytesZ("after")}};
  char name = 'a';
  for (const auto& [type, data] : values) Put("\\Values", std::string(name == 'h' ? 256 : 1, name), type, data), ++name;
  Names arr;
  EXPECT_FALSE(reg_.RegEnumValues("\\Values", arr)) << "a text without data fails the listing";
  EXPECT_EQ(arr, (Names{"-1", "AB", "%LK_HOME%", std::string("a\0b\0", 4), "-1", "", std::string(255, 'y'), "", "0"}))
      << "numbers in decimal, texts less their last byte; what does not fit the buffers is skipped; what came "
         "before stays";
}

TEST_F(cRegistryTest, DeleteRemovesTheKeyAndEverythingBelowUpTo2048SubkeysAKey) {
  for (const char* k : {"\\Tree\\B\\D", "\\Tree\\B\\C", "\\Tree\\E", "\\Sibling"}) Put(k, "v", Reg::Sz, {});
  EXPECT_TRUE(reg_.RegDelete("\\Tree") && !Exists("\\Tree") && Exists("\\Sibling"));
  EXPECT_FALSE(reg_.RegDelete("\\Tree"));
  EXPECT_FALSE(reg_.RegDelete("Sibling", false)) << "a path without a backslash finds no parent";
  EXPECT_TRUE(reg_.RegDelete(kRoot + "\\Sibling", false) && !Exists("\\Sibling"));
  Many("\\Big\\Crowded", 2049, false);
  EXPECT_FALSE(reg_.RegDelete("\\Big")) << "2049 subkeys: the listing never saw its end";
  EXPECT_TRUE(Exists("\\Big\\Crowded\\10000")) << "and nothing went";
  ASSERT_EQ(raw().DeleteKey(Reg::CurrentUser, kRoot + "\\Big\\Crowded\\12048"), Reg::Success);
  EXPECT_TRUE(reg_.RegDelete("\\Big") && !Exists("\\Big"));
}

// Names and texts cross in the registry's code page; Windows-1252 has no "漢".
TEST_F(cRegistryTest, NamesAndTextsCrossInTheRegistrysCodePage) {
  const bool utf8 = raw().CodePage() == TextCodePage::Utf8;
  ASSERT_TRUE(reg_.RegWrite("\\K\xC3\xA9", "\xC3\xA4", Text("\xE2\x82\xAC\xE6\xBC\xA2")));
  EXPECT_EQ(ReadStoredAt(raw(), Reg::CurrentUser, kRoot + InCodePage(raw(), "\\K\xE9"), InCodePage(raw(), "\xE4")).data,
            BytesZ(utf8 ? "\xE2\x82\xAC\xE6\xBC\xA2" : "\x80?"));
  EXPECT_EQ(reg_.RegRead("\\K\xC3\xA9", "\xC3\xA4"), Text(utf8 ? "\xE2\x82\xAC\xE6\xBC\xA2" : "\xE2\x82\xAC?"));
}

class FailingEnvironment : public IEnvironment {
 public:
  std::uint32_t ExpandEnvironmentStrings(const char*, char*, std::uint32_t) override { return 0; }
};

TEST_F(cRegistryTest, AFailedExpansionRaisesAndTheKeyStillCloses) {
  env_.vars["TEMP"] = "C:\\Temp";
  EXPECT_EQ(reg_.ExpandEnvStr("%TEMP%\\qvm"), "C:\\Temp\\qvm");
  Put("", "e", Reg::ExpandSz, BytesZ("%TEMP%"));
  FailingEnvironment broken;
  cRegistry failing(recorder_, broken);
  failing.RootKey(kRoot);
  EXPECT_EQ(ErrorOf([&] { failing.ExpandEnvStr("%TEMP%"); }), ErrNo::InvalidArgument);
  EXPECT_EQ(ErrorOf([&] { failing.RegRead("", "e"); }), ErrNo::InvalidArgument);
}

}  // namespace
