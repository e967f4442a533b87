// The product identifier: its form, its scrambled stored form of 71 bytes,
// the round trip from one start to the next, and every way a stored value
// is found wanting.
#include "install_state/product_id.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/fake_platform.hpp"
#include "fakes/recording_registry.hpp"
#include "fakes/registry_test_helpers.hpp"
#include "install_state/product_id_rules.hpp"
#include "platform/posix/file_hive_store.hpp"
#include "support/codepage.hpp"

namespace {

const std::string kMain = "Software\\Tessarine\\LarkspireBrowser\\Main";
const std::string kKey = kProductIdKeyPhrase;

// The single-byte codes of a text.
std::vector<unsigned> Codes(const std::string& utf8) {
  std::vector<unsigned> codes;
  for (char c : Utf8ToAnsi(utf8)) codes.push_back(static_cast<unsigned char>(c));
  return codes;
}

// The bytes the program stores for an identifier: its scrambled text as
// UTF-16 little-endian, one byte fewer than the text has.
std::vector<std::uint8_t> StoredFormOf(const std::string& id) {
  std::vector<std::uint8_t> bytes = Utf8ToUtf16LeBytes(ScrambleText(kKey, id));
  bytes.pop_back();
  return bytes;
}

// ---- ScrambleText and UnscrambleText ----

TEST(ScrambleText, KnownAnswers) {
  // Each code: top bit flipped, then xor the key's code ('Q' 0x51, 'u' 0x75, ...).
  EXPECT_EQ(Codes(ScrambleText(kKey, "0")), std::vector<unsigned>{0xB0 ^ 0x51});
  EXPECT_EQ(Codes(ScrambleText(kKey, "A")), std::vector<unsigned>{0xC1 ^ 0x51});
  EXPECT_EQ(Codes(ScrambleText(kKey, "-")), std::vector<unsigned>{0xAD ^ 0x51});
  EXPECT_EQ(Codes(ScrambleText(kKey, "00")), (std::vector<unsigned>{0xB0 ^ 0x51, 0xB0 ^ 0x75}));
  EXPECT_EQ(Codes(ScrambleText(kKey, "\xC3\xA9")), std::vector<unsigned>{0x69 ^ 0x51}) << "é, a code above 127";
  EXPECT_EQ(ScrambleText(kKey, ""), "");
  EXPECT_EQ(Codes(ScrambleText("k", "000")), (std::vector<unsigned>{0xB0 ^ 0x6B, 0xB0 ^ 0x6B, 0xB0 ^ 0x6B}))
      << "a key of one character repeats at once";
}

TEST(ScrambleText, TheKeyStartsAgainAtThe33rdCharacter) {
  ASSERT_EQ(kKey.size(), 32u);
  const std::vector<unsigned> codes = Codes(ScrambleText(kKey, std::string(34, '7')));
  ASSERT_EQ(codes.size(), 34u);
  EXPECT_EQ(codes[32], codes[0]);
  EXPECT_EQ(codes[33], codes[1]);
  EXPECT_NE(codes[31], codes[0]) << "the 32nd used the key's last character";
}

TEST(ScrambleText, IdentifiersScrambleToCodesFrom128To255AndBack) {
  FakeGuidSource guids;
  for (int i = 0; i < 50; ++i) {
    Guid g;
    ASSERT_TRUE(guids.CreateGuid(&g));
    g.Data1 *= 2654435761u;  // spread the digits
    g.Data4[3] = static_cast<std::uint8_t>(i * 37);
    const std::string id = FormatProductID(g);
    const std::string scrambled = ScrambleText(kKey, id);
    for (unsigned code : Codes(scrambled)) {
      EXPECT_GE(code, 128u) << id;
      EXPECT_LE(code, 255u) << id;
    }
    EXPECT_EQ(CharCount(scrambled), 36u);
    EXPECT_EQ(UnscrambleText(kKey, scrambled), id);
    EXPECT_EQ(ScrambleText(kKey, scrambled), id) << "the routine is its own inverse";
  }
}

TEST(ScrambleText, EveryIdentifierCharacterEndsBelowCode256InUtf16) {
  // The stored form drops the high byte of the last scrambled character, so
  // the round trip holds only while that byte is 0. Position 36 uses the
  // key's 4th character.
  const std::string allowed = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-";
  for (char c : allowed) {
    const std::string id = std::string(35, '0') + c;
    const std::vector<std::uint8_t> units = Utf8ToUtf16LeBytes(ScrambleText(kKey, id));
    EXPECT_EQ(units.back(), 0) << "last character " << c;
  }
}

struct UnscrambleRow {
  const char* what;
  std::string scrambled;
  std::string expected;
};

class UnscrambleTextTable : public ::testing::TestWithParam<UnscrambleRow> {};

TEST_P(UnscrambleTextTable, CountsTheTrimmedLengthFromTheFirstCharacter) {
  EXPECT_EQ(UnscrambleText(kKey, GetParam().scrambled), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, UnscrambleTextTable,
    ::testing::Values(UnscrambleRow{"empty", "", ""}, UnscrambleRow{"blanks only", "   ", ""},
                      UnscrambleRow{"what scrambling made", ScrambleText(kProductIdKeyPhrase, "ABC-123"), "ABC-123"},
                      // Trimmed length 2, but counted from the leading blanks.
                      UnscrambleRow{"leading blanks", "  ab", ScrambleText(kProductIdKeyPhrase, "  ")},
                      UnscrambleRow{"trailing blanks", "ab  ", ScrambleText(kProductIdKeyPhrase, "ab")}),
    [](const ::testing::TestParamInfo<UnscrambleRow>& info) {
      std::string name;
      for (char c : std::string(info.param.what)) name += c == ' ' ? '_' : c;
      return name;
    });

// ---- IsValidProductID ----

struct IdRow {
  const char* what;
  std::string id;
  bool valid;
};

class IsValidProductIDTable : public ::testing::TestWithParam<IdRow> {};

TEST_P(IsValidProductIDTable, ChecksLengthDashesAndCharacters) {
  EXPECT_EQ(IsValidProductID(GetParam().id), GetParam().valid) << GetParam().id;
}

const std::string kGood = "0000ABCD-00EF-4A0B-9C01-0000000000FF";

std::string With(std::size_t position, char c) {
  std::string s = kGood;
  s[position - 1] = c;
  return s;
}

INSTANTIATE_TEST_SUITE_P(
    Ids, IsValidProductIDTable,
    ::testing::Values(IdRow{"good", kGood, true},
                      IdRow{"letters beyond F", "ZZZZZZZZ-GHIJ-KLMN-OPQR-STUVWXYZ0123", true},
                      IdRow{"dashes elsewhere too", "--------------------------------0123", true},
                      IdRow{"small letters", "0000abcd-00ef-4a0b-9c01-0000000000ff", false},
                      IdRow{"one small letter", With(5, 'a'), false}, IdRow{"35 characters", kGood.substr(1), false},
                      IdRow{"37 characters", kGood + "0", false}, IdRow{"empty", "", false},
                      IdRow{"no dash at 9", With(9, '0'), false}, IdRow{"no dash at 14", With(14, '0'), false},
                      IdRow{"no dash at 19", With(19, '0'), false}, IdRow{"no dash at 24", With(24, '0'), false},
                      IdRow{"a blank", With(36, ' '), false}, IdRow{"a sign", With(1, '#'), false},
                      IdRow{"braces", "{0000ABCD-00EF-4A0B-9C01-0000000000F}", false},
                      IdRow{"a letter of the code page", "0000ABCD-00EF-4A0B-9C01-00000000\xC3\x89", false},
                      IdRow{"a NUL", With(36, '\0'), false}),
    [](const ::testing::TestParamInfo<IdRow>& info) {
      std::string name;
      for (char c : std::string(info.param.what)) name += c == ' ' ? '_' : c;
      return name;
    });

// ---- NewProductID ----

TEST(FormatProductID, GroupsCapitalHexDigitsEightFourFourFourTwelve) {
  EXPECT_EQ(FormatProductID(Guid{0x0000ABCDu, 0x00EF, 0x0A0B, {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0xFF}}),
            "0000ABCD-00EF-0A0B-0001-0203040506FF");
  EXPECT_EQ(FormatProductID(Guid{0xFFFFFFFFu, 0xFFFF, 0x8000, {0xFF, 0xFE, 0, 0, 0, 0, 0, 0}}),
            "FFFFFFFF-FFFF-8000-FFFE-000000000000")
      << "each field read as unsigned";
  EXPECT_EQ(FormatProductID(Guid{}), "00000000-0000-0000-0000-000000000000");
}

// ---- GetProductID ----

class GetProductIDTest : public ::testing::Test {
 protected:
  // One start of the wizard as far as the identifier goes.
  std::string Start(IRegistryApi& registry, int* writes = nullptr) {
    RecordingRegistryApi recorder(registry);
    cRegistry reg(recorder, fake_.environment);
    reg.RootKey("Software\\Tessarine");
    const std::string id = GetProductID(reg, fake_.guid);
    if (writes) *writes = recorder.setValueCalls;
    EXPECT_EQ(recorder.OpenHandles(), 0u);
    return id;
  }
  void Store(std::uint32_t type, const std::vector<std::uint8_t>& data) {
    const RegHandle key = MustCreate(fake_.registry, Reg::CurrentUser, kMain);
    ASSERT_EQ(WriteStored(fake_.registry, key, "ProductID", type, data), Reg::Success);
    fake_.registry.CloseKey(key);
  }
  StoredValue Stored() { return ReadStoredAt(fake_.registry, Reg::CurrentUser, kMain, "ProductID"); }

  const Guid guid_{0x0000ABCDu, 0x00EF, 0x4A0B, {0x9C, 0x01, 0, 0, 0, 0, 0, 0xFF}};
  FakePlatform fake_;
};

TEST_F(GetProductIDTest, AFirstStartMakesAndStoresANewIdentifier) {
  fake_.guid.scripted.push_back(guid_);
  int writes = 0;
  EXPECT_EQ(Start(fake_.registry, &writes), "0000ABCD-00EF-4A0B-9C01-0000000000FF");
  EXPECT_EQ(writes, 1);
  const StoredValue v = Stored();
  EXPECT_EQ(v.type, Reg::Binary);
  ASSERT_EQ(v.data.size(), 71u) << "72 bytes of UTF-16, less the last";
  EXPECT_EQ(v.data, StoredFormOf("0000ABCD-00EF-4A0B-9C01-0000000000FF"));
}

TEST_F(GetProductIDTest, TheNextStartReadsTheSameIdentifierWithoutWriting) {
  const std::string first = Start(fake_.registry);
  ASSERT_TRUE(IsValidProductID(first));
  const StoredValue before = Stored();
  int writes = -1;
  EXPECT_EQ(Start(fake_.registry, &writes), first);
  EXPECT_EQ(writes, 0);
  EXPECT_EQ(fake_.guid.made, 1) << "no second GUID was asked for";
  EXPECT_EQ(Stored().data, before.data);
}

TEST_F(GetProductIDTest, TheRoundTripHoldsThroughTheRegistryFile) {
  TempDir dir;
  const std::string path = dir.File("registry.reg");
  std::string first;
  {
    FileRegistryApi registry(path);
    first = Start(registry);
  }
  FileRegistryApi again(path);  // as a later run of the program would
  int writes = -1;
  EXPECT_EQ(Start(again, &writes), first);
  EXPECT_EQ(writes, 0);
  EXPECT_EQ(ReadStoredAt(again, Reg::CurrentUser, kMain, "ProductID").data.size(), 71u);
}

TEST_F(GetProductIDTest, EveryValidCharacterAtTheEndSurvivesTheStoredForm) {
  for (char c : std::string("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-")) {
    const std::string id = "ZZZZZZZZ-GHIJ-KLMN-OPQR-STUVWXYZ012" + std::string(1, c);
    Store(Reg::Binary, StoredFormOf(id));
    int writes = -1;
    EXPECT_EQ(Start(fake_.registry, &writes), id);
    EXPECT_EQ(writes, 0) << c;
  }
  EXPECT_EQ(fake_.guid.made, 0);
}

TEST_F(GetProductIDTest, TheFullStoredFormIsReadToo) {
  std::vector<std::uint8_t> full = Utf8ToUtf16LeBytes(ScrambleText(kKey, kGood));
  ASSERT_EQ(full.size(), 72u);
  Store(Reg::Binary, full);
  EXPECT_EQ(Start(fake_.registry), kGood);
}

struct Unusable {
  const char* what;
  std::uint32_t type;
  std::vector<std::uint8_t> data;
};

class AnUnusableStoredValue : public GetProductIDTest, public ::testing::WithParamInterface<Unusable> {};

TEST_P(AnUnusableStoredValue, IsReplacedByANewIdentifier) {
  Store(GetParam().type, GetParam().data);
  fake_.guid.scripted.push_back(guid_);
  int writes = 0;
  const std::string id = Start(fake_.registry, &writes);
  EXPECT_EQ(id, "0000ABCD-00EF-4A0B-9C01-0000000000FF");
  EXPECT_EQ(writes, 1);
  const StoredValue v = Stored();
  EXPECT_EQ(v.type, Reg::Binary);
  EXPECT_EQ(v.data, StoredFormOf(id));
}

INSTANTIATE_TEST_SUITE_P(
    Values, AnUnusableStoredValue,
    ::testing::Values(Unusable{"Text", Reg::Sz, BytesZ(kGood)}, Unusable{"Number", Reg::Dword, {1, 2, 3, 4}},
                      Unusable{"EmptyBinary", Reg::Binary, {}},
                      Unusable{"Garbage", Reg::Binary, Bytes("not an identifier")},
                      Unusable{"NotScrambled", Reg::Binary, Utf8ToUtf16LeBytes(kGood)},
                      Unusable{"SmallLetters", Reg::Binary, StoredFormOf("0000abcd-00ef-4a0b-9c01-0000000000ff")},
                      Unusable{"Chars35", Reg::Binary, StoredFormOf(kGood.substr(1))},
                      Unusable{"Chars37", Reg::Binary, StoredFormOf(kGood + "0")},
                      Unusable{"NoDashAt9", Reg::Binary, StoredFormOf(With(9, 'X'))},
                      Unusable{"NoDashAt14", Reg::Binary, StoredFormOf(With(14, 'X'))},
                      Unusable{"NoDashAt19", Reg::Binary, StoredFormOf(With(19, 'X'))},
                      Unusable{"NoDashAt24", Reg::Binary, StoredFormOf(With(24, 'X'))},
                      Unusable{"OtherKey", Reg::Binary,
                               [] {
                                 auto b = Utf8ToUtf16LeBytes(ScrambleText("Another phrase entirely, 32 chr!", kGood));
                                 b.pop_back();
                                 return b;
                               }()}),
    [](const ::testing::TestParamInfo<Unusable>& info) { return std::string(info.param.what); });

TEST_F(GetProductIDTest, NoGuidMeansUnregisteredAndNothingStored) {
  fake_.guid.fail = true;
  int writes = -1;
  EXPECT_EQ(Start(fake_.registry, &writes), "Unregistered");
  EXPECT_EQ(writes, 0);
  EXPECT_EQ(Stored().rc, Reg::FileNotFound);
}

TEST_F(GetProductIDTest, ARegistryThatRefusesTheWriteMeansUnregistered) {
  const RegHandle key = MustCreate(fake_.registry, Reg::CurrentUser, kMain);
  fake_.registry.CloseKey(key);
  fake_.registry.Store().refuseWrites = true;
  EXPECT_EQ(Start(fake_.registry), "Unregistered");
  EXPECT_EQ(fake_.guid.made, 1) << "an identifier was made but is not reported";
}

TEST_F(GetProductIDTest, NewProductIDFromTheGuidOrEmpty) {
  fake_.guid.scripted.push_back(guid_);
  EXPECT_EQ(NewProductID(fake_.guid), "0000ABCD-00EF-4A0B-9C01-0000000000FF");
  fake_.guid.fail = true;
  EXPECT_EQ(NewProductID(fake_.guid), "");
}

}  // namespace
