// cRegistry over the registry backend of the build: what reads return, what
// writes store, and that no key is left open behind them. (Its listing and
// deleting operations serve nothing in the program and go untested.)
#include "support/c_registry.hpp"

#include <gtest/gtest.h>

#include <optional>

#include "fakes/registry_backends.hpp"

namespace {
// A registry that passes every call on to another one and counts the
// handles the caller left open.
class RecordingRegistryApi : public IRegistryApi {
  using Str = const std::string&;
  using U32 = std::uint32_t;
  using U8 = std::uint8_t;
  using H = RegHandle;
  long Count(long rc, int change) { return open += rc == Reg::Success ? change : 0, rc; }
  IRegistryApi& in_;

 public:
  explicit RecordingRegistryApi(IRegistryApi& inner) : in_(inner) {}
  long open = 0;  // handles the caller has not closed
  TextCodePage CodePage() const override { return in_.CodePage(); }
  long CreateKeyEx(H r, Str s, U32 a, H* k, U32* d) override { return Count(in_.CreateKeyEx(r, s, a, k, d), 1); }
  long OpenKeyEx(H r, Str s, U32 a, H* k) override { return Count(in_.OpenKeyEx(r, s, a, k), 1); }
  long QueryValueEx(H k, Str n, U32* t, U8* d, U32* s) override { return in_.QueryValueEx(k, n, t, d, s); }
  long SetValueEx(H k, Str n, U32 t, const U8* d, U32 s) override { return in_.SetValueEx(k, n, t, d, s); }
  long EnumKeyEx(H k, U32 i, char* n, U32* l) override { return in_.EnumKeyEx(k, i, n, l); }
  long EnumValue(H k, U32 i, char* n, U32* l, U32* t, U8* d, U32* s) override {
    return in_.EnumValue(k, i, n, l, t, d, s);
  }
  long DeleteKey(H k, Str s) override { return in_.DeleteKey(k, s); }
  long CloseKey(H k) override { return Count(in_.CloseKey(k), -1); }
};

const std::string kRoot = "Software\\Tessarine";
RegValue Array(const std::vector<std::uint8_t>& b) { return RegValue(ByteArray(b)); }

class cRegistryTest : public ::testing::Test {
 protected:
  cRegistryTest() {
    SetVar("LK_HOME", "/home/zo\xC3\xAB");
    reg_.RootKey(kRoot);
  }
  ~cRegistryTest() override { EXPECT_EQ(recorder_.open, 0) << "a key was left open"; }
  IRegistryApi& raw() { return backend_.Api(); }
  void Put(const std::string& path, const std::string& name, std::uint32_t type, std::vector<std::uint8_t> data) {
    const RegHandle key = MustCreate(raw(), Reg::CurrentUser, kRoot + path);
    ASSERT_EQ(WriteStored(raw(), key, name, type, data), Reg::Success);
    raw().CloseKey(key);
  }

  RegistryBackend backend_;
  RecordingRegistryApi recorder_{raw()};
  SystemEnvironment env_;
  cRegistry reg_{recorder_, env_};
};

TEST_F(cRegistryTest, ReadGivesEachTypeItsKindOfValue) {
  EXPECT_EQ(reg_.RegRead("\\Types", "v"), RegValue(std::string(1, '\0'))) << "a missing key: as if made, a NUL";
  EXPECT_EQ(reg_.RegRead("\\TYPES", "v"), RegValue("")) << "then a missing value";
  RegHandle key = 0;
  EXPECT_EQ(raw().OpenKeyEx(Reg::CurrentUser, kRoot + "\\Types", Reg::KeyRead, &key), Reg::FileNotFound)
      << "a read makes nothing";
  // clang-format off
  const std::tuple<std::uint32_t, std::vector<std::uint8_t>, RegValue> rows[] = {
      {Reg::Sz, Bytes(std::string("ab\0cd\0", 6)), RegValue("ab")}, {Reg::Sz, Bytes(" ab"), RegValue(" ab")},
      {Reg::MultiSz, Bytes(std::string("first\0second\0\0", 14)), RegValue("first")},
      {Reg::ExpandSz, BytesZ("%lk_home%\\d %LK_NONE%"), RegValue("/home/zo\xC3\xAB\\d %LK_NONE%")},
      {Reg::ExpandSz, Bytes("abc"), RegValue("ab")}, {Reg::Dword, {0xFF, 0xFF, 0xFF, 0xFF}, RegValue(-1)},
      {Reg::DwordBigEndian, {0x12, 0x34, 0x56, 0x78}, RegValue(0x12345678)},
      {Reg::Binary, {0xD5, 0xC0, 0x01}, Array({0xD5, 0xC0, 0x01, 0x00})}, {Reg::Binary, {}, Array({0x00})},
      {0x12345678u, {0xDE, 0xAD}, RegValue("")}};
  // clang-format on
  for (const auto& [type, data, read] : rows) {
    Put("\\Types", "v", type, data);
    EXPECT_EQ(reg_.RegRead("\\Types", "v"), read) << type << ": " << ::testing::PrintToString(data);
  }
}

// The program writes bytes (datatype 3) only.
TEST_F(cRegistryTest, WriteStoresBytesOrRefuses) {
  // Data, datatype, the error raised (or 0), and the bytes stored (none when RegWrite gives false).
  // clang-format off
  const std::tuple<RegValue, std::int32_t, int, std::optional<std::vector<std::uint8_t>>> rows[] = {
      {Array({0, 1, 2, 3}), 3, 0, std::vector<std::uint8_t>{0, 1, 2}}, {Array({7}), 3, 0, Bytes("")},
      {RegValue("x"), 3, 0, std::nullopt}, {Array({}), 3, ErrNo::SubscriptOutOfRange, std::nullopt}};
  // clang-format on
  for (const auto& [data, datatype, error, stored] : rows) {
    SCOPED_TRACE(::testing::PrintToString(data) + " as " + std::to_string(datatype));
    Put("\\Main", "w", Reg::Sz, BytesZ("before"));
    bool written = false;
    EXPECT_EQ(ErrorOf([&] { written = reg_.RegWrite("\\Main", "w", data, datatype); }), error);
    const StoredValue v = ReadStoredAt(raw(), Reg::CurrentUser, kRoot + "\\Main", "w");
    EXPECT_EQ(std::make_tuple(written, v.type, v.data),
              stored ? std::make_tuple(true, Reg::Binary, *stored) : std::make_tuple(false, Reg::Sz, BytesZ("before")));
  }
}

// Names and texts cross in the registry's code page.
TEST_F(cRegistryTest, NamesAndTextsCrossInTheRegistrysCodePage) {
  Put(InCodePage(raw(), "\\K\xE9"), InCodePage(raw(), "\xE4"), Reg::Sz, BytesZ(InCodePage(raw(), "\x80")));
  EXPECT_EQ(reg_.RegRead("\\K\xC3\xA9", "\xC3\xA4"), RegValue("\xE2\x82\xAC"));
}

}  // namespace
