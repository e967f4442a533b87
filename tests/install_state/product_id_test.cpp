// The product identifier: the scrambling of its stored form of 71 bytes,
// and each stored value a start reads, keeps or replaces.
#include "install_state/product_id.hpp"

#include <gtest/gtest.h>

#include "fakes/fake_platform.hpp"
#include "fakes/recording_registry.hpp"
#include "fakes/registry_test_helpers.hpp"
#include "install_state/product_id_rules.hpp"

namespace {
const std::string kKey = kProductIdKeyPhrase;
const std::string kMain = "Software\\Tessarine\\LarkspireBrowser\\Main";
const std::string kOld = "ZZZZZZZZ-GHIJ-KLMN-OPQR-STUVWXYZ0123", kNew = "0000ABCD-00EF-4A0B-9C01-0000000000FF";

// The bytes stored for an identifier: its scrambled text in UTF-16, less the last byte.
ByteArray StoredFormOf(const std::string& id, const std::string& key = kKey) {
  ByteArray bytes = Utf8ToUtf16LeBytes(ScrambleText(key, id));
  bytes.pop_back();
  return bytes;
}

std::string With(std::size_t position, char c) { return kOld.substr(0, position - 1) + c + kOld.substr(position); }

TEST(ScrambleText, FlipsTheTopBitThenAddsTheKeyPhrase) {
  EXPECT_EQ(ScrambleText(kKey, "0A-"), "\xC3\xA1\xC2\xB4\xC3\x84");  // 0xB0 ^ 'Q', 0xC1 ^ 'u', 0xAD ^ 'i'
  EXPECT_TRUE(ScrambleText(kKey, std::string(32, '0') + "0A-").ends_with("\xC3\xA1\xC2\xB4\xC3\x84"))
      << "the key again";
  // The last character's high byte is dropped from the stored form: it must be 0.
  for (char c : std::string("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-"))
    EXPECT_EQ(Utf8ToUtf16LeBytes(ScrambleText(kKey, std::string(35, '0') + c)).back(), 0) << c;
}

TEST(GetProductID, KeepsAValidStoredIdentifierAndReplacesAnyOther) {
  const struct {
    const char* what;
    std::uint32_t type;
    ByteArray stored;
    std::string id;
  } rows[] = {
      {"nothing stored", Reg::None, {}, kNew},
      {"the stored form", Reg::Binary, StoredFormOf(kOld), kOld},
      {"all 72 bytes", Reg::Binary, Utf8ToUtf16LeBytes(ScrambleText(kKey, kOld)), kOld},
      {"a text", Reg::Sz, BytesZ(kOld), kNew},
      {"not scrambled", Reg::Binary, Utf8ToUtf16LeBytes(kOld), kNew},
      {"another key", Reg::Binary, StoredFormOf(kOld, "Another phrase entirely, 32 chr!"), kNew},
      {"small letters", Reg::Binary, StoredFormOf("0000abcd-00ef-4a0b-9c01-0000000000ff"), kNew},
      {"35 characters", Reg::Binary, StoredFormOf(kOld.substr(1)), kNew},
      {"37 characters", Reg::Binary, StoredFormOf(kOld + "0"), kNew},
      {"no hyphen at 9", Reg::Binary, StoredFormOf(With(9, 'X')), kNew},
      {"no hyphen at 14", Reg::Binary, StoredFormOf(With(14, 'X')), kNew},
      {"no hyphen at 19", Reg::Binary, StoredFormOf(With(19, 'X')), kNew},
      {"no hyphen at 24", Reg::Binary, StoredFormOf(With(24, 'X')), kNew},
      {"a letter of the code page", Reg::Binary, StoredFormOf(kOld.substr(0, 35) + "\xC3\x89"), kNew},
  };
  for (const auto& r : rows) {
    FakePlatform fake;
    fake.guid.scripted.push_back(Guid{0x0000ABCDu, 0x00EF, 0x4A0B, {0x9C, 0x01, 0, 0, 0, 0, 0, 0xFF}});
    const RegHandle key = MustCreate(fake.registry, Reg::CurrentUser, kMain);
    if (r.type != Reg::None) {
      EXPECT_EQ(WriteStored(fake.registry, key, "ProductID", r.type, r.stored), Reg::Success);
    }
    fake.registry.CloseKey(key);
    RecordingRegistryApi recorder(fake.registry);
    cRegistry reg(recorder, fake.environment);
    reg.RootKey("Software\\Tessarine");
    EXPECT_EQ(GetProductID(reg, fake.guid), r.id) << r.what;
    EXPECT_EQ(recorder.setValueCalls, r.id == kNew) << r.what;
    EXPECT_EQ(recorder.OpenHandles(), 0u);
    const StoredValue v = ReadStoredAt(fake.registry, Reg::CurrentUser, kMain, "ProductID");
    EXPECT_EQ(v.type, r.id == kNew ? Reg::Binary : r.type) << r.what;
    EXPECT_EQ(v.data, r.id == kNew ? StoredFormOf(kNew) : r.stored) << r.what;
  }
}

TEST(GetProductID, UnregisteredWhenNoneCanBeMadeOrStored) {
  FakePlatform fake;
  cRegistry reg(fake.registry, fake.environment);
  reg.RootKey("Software\\Tessarine");
  fake.guid.fail = true;
  EXPECT_EQ(GetProductID(reg, fake.guid), "Unregistered");
  fake.guid.fail = false;
  fake.registry.Store().refuseWrites = true;
  EXPECT_EQ(GetProductID(reg, fake.guid), "Unregistered");
}
}  // namespace
