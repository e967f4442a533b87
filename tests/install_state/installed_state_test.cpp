// What the wizard learns at start-up: the installed versions, where the
// update goes, the stop when the product is not installed properly, the
// product identifier and its scrambled stored form, and the header picture.
#include <gtest/gtest.h>

#include <filesystem>

#include "fakes/fake_platform.hpp"
#include "fakes/recording_registry.hpp"
#include "fakes/registry_test_helpers.hpp"
#include "install_state/product_id.hpp"
#include "install_state/product_id_rules.hpp"
#include "support/runtime_error.hpp"
#include "wizard/frm_main.hpp"

namespace {
using namespace std::string_literals;
const std::string kKey = kProductIdKeyPhrase, kMain = "\\LarkspireBrowser\\Main";
const std::string kOld = "ZZZZZZZZ-GHIJ-KLMN-OPQR-STUVWXYZ0123", kNew = "0000ABCD-00EF-4A0B-9C01-0000000000FF";

struct Start {
  FakePlatform fake;
  TempDir dir;
  frmMain form{fake.Services(), "updates.test"};
  cRegistry reg{fake.registry, fake.environment};

  Start() { reg.RootKey("Software\\Tessarine"); }
  void Put(const std::string& key, const std::string& name, RegValue v) {
    if (auto* bytes = std::get_if<ByteArray>(&v)) bytes->push_back(0);  // a binary write keeps one byte fewer
    ASSERT_TRUE(reg.RegWrite(key, name, v, std::array{1, 4, 3}[v.index()]));
  }
  // The product folder found, or "stop" when the program ended.
  std::string Run() {
    try {
      form.Installed.ReadInstalledState();
    } catch (const ProgramEnded&) {
      return "stop";
    }
    return form.Installed.State.AppPath;
  }
};

TEST(ReadInstalledState, StopsOrFindsTheProductFolder) {
  const std::tuple<std::optional<RegValue>, std::optional<RegValue>, std::string, std::string> rows[] = {
      // App Version, App Path ("<dir>" the temporary folder), the folder found, the current folder
      {{}, "<dir>", "stop", ""},
      {"   ", "<dir>", "stop", ""},
      {"\0"s, "<dir>", "stop", ""},  // the text of a value created empty
      {"3.02.12", "<dir>", "stop", ""},
      {std::int32_t{30200012}, "<dir>", "stop", ""},
      {ByteArray{'3', '.', '0', '2', '.', '0', '0', '1', '2'}, "<dir>", "stop", ""},
      {"  3.02.0012 ", "<dir>", "<dir>\\", ""},
      {"3.02.0012", "<dir>\\larkspire.exe", "<dir>\\larkspire.exe\\", ""},
      {"3.02.0012", "  <dir>  ", "Z:\\", ""},
      {"3.02.0012", "<dir>\\gone", "Z:\\", ""},
      {"3.02.0012", ByteArray{'Z', ':', '\\'}, "c:\\", "D:\\setup"},
      {"3.02.0012", {}, "c:\\", "\\\\server\\share\\setup"},
  };
  for (const auto& [version, path, expected, curDir] : rows) {
    Start s;
    const auto expand = [dir = s.dir.Path().substr(0, s.dir.Path().size() - 1)](std::string text) {
      if (const auto at = text.find("<dir>"); at != std::string::npos) text.replace(at, 5, dir);
      return text;
    };
    WriteFileBytes(s.dir.File("larkspire.exe"), "MZ");
    s.fake.files.curDir = curDir;
    if (version) s.Put(kMain, "App Version", *version);
    const std::pair<const char*, RegValue> components[] = {
        {"rillgauge", " 1.00.0001 "}, {"QUILLON", "2.01.0003"}, {"qvmpanel", 1}};
    for (const auto& [name, value] : components) s.Put("\\Components", name, value);
    if (path) s.Put(kMain, "App Path", IsText(*path) ? RegValue(expand(std::get<std::string>(*path))) : *path);
    SCOPED_TRACE(expected + " " + (path && IsText(*path) ? std::get<std::string>(*path) : ""));
    EXPECT_EQ(s.Run(), expand(expected));
    const bool stopped = expected == "stop";
    EXPECT_EQ(s.fake.process.endCount, stopped);
    EXPECT_EQ(IsBytes(s.reg.RegRead(kMain, "ProductID")), !stopped) << "an identifier only when installed";
    ASSERT_EQ(s.fake.messageBox.shown.size(), stopped);
    if (!stopped) {
      const std::array<std::string, 6> versions = {ValueToText(*version), "1.00.0001", "2.01.0003", "0", "0", "0"};
      EXPECT_EQ(s.form.Installed.State.InstalledVersions, versions) << "the product's version as it is";
    } else {
      EXPECT_EQ(s.fake.messageBox.shown[0].prompt + " / " + std::to_string(s.fake.messageBox.shown[0].buttons) + " " +
                    s.fake.messageBox.shown[0].title,
                "Larkspire was either not installed or not\r\ninstalled properly. Please reinstall Larkspire.\r\n\r\n"
                "Cannot continue with update. / 16 Larkspire AutoUpdate");  // critical, OK only
    }
  }
}

// The bytes stored for an identifier: its scrambled text in UTF-16, less the last byte.
ByteArray StoredFormOf(const std::string& id, const std::string& key = kKey) {
  ByteArray bytes = Utf8ToUtf16LeBytes(ScrambleText(key, id));
  bytes.pop_back();
  return bytes;
}

std::string With(std::size_t position, char c) { return kOld.substr(0, position - 1) + c + kOld.substr(position); }

TEST(ScrambleText, FlipsTheTopBitThenAddsTheKeyPhrase) {
  EXPECT_EQ(ScrambleText(kKey, "0A-"), "\xC3\xA1\xC2\xB4\xC3\x84");  // 0xB0 ^ 'Q', 0xC1 ^ 'u', 0xAD ^ 'i'
  EXPECT_TRUE(ScrambleText(kKey, std::string(32, '0') + "0A-").ends_with("\xC3\xA1\xC2\xB4\xC3\x84"));
  // The last character's high byte is dropped from the stored form: it must be 0.
  for (char c : std::string("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-"))
    EXPECT_EQ(Utf8ToUtf16LeBytes(ScrambleText(kKey, std::string(35, '0') + c)).back(), 0) << c;
}

TEST(GetProductID, KeepsAValidStoredIdentifierAndReplacesAnyOther) {
  const std::tuple<std::uint32_t, ByteArray, std::string> rows[] = {
      {Reg::None, {}, kNew},  // nothing stored
      {Reg::Binary, StoredFormOf(kOld), kOld},
      {Reg::Sz, BytesZ(kOld), kNew},
      {Reg::Binary, Utf8ToUtf16LeBytes(kOld), kNew},
      {Reg::Binary, StoredFormOf("0000abcd-00ef-4a0b-9c01-0000000000ff"), kNew},
      {Reg::Binary, StoredFormOf(kOld + "0"), kNew},
      {Reg::Binary, StoredFormOf(With(9, 'X')), kNew},
      {Reg::Binary, StoredFormOf(With(24, 'X')), kNew},
      {Reg::Binary, StoredFormOf(kOld.substr(0, 35) + "\xC3\x89"), kNew},
  };
  for (const auto& [type, stored, id] : rows) {
    Start s;
    s.fake.guid.scripted.push_back(Guid{0x0000ABCDu, 0x00EF, 0x4A0B, {0x9C, 0x01, 0, 0, 0, 0, 0, 0xFF}});
    if (type != Reg::None) s.Put(kMain, "ProductID", type == Reg::Sz ? RegValue(kOld) : RegValue(stored));
    RecordingRegistryApi recorder(s.fake.registry);
    cRegistry reg(recorder, s.fake.environment);
    reg.RootKey("Software\\Tessarine");
    EXPECT_EQ(GetProductID(reg, s.fake.guid), id) << ::testing::PrintToString(stored);
    EXPECT_EQ(recorder.setValueCalls, id == kNew);
    EXPECT_EQ(recorder.OpenHandles(), 0u);
    const StoredValue v = ReadStoredAt(s.fake.registry, Reg::CurrentUser, "Software\\Tessarine" + kMain, "ProductID");
    EXPECT_EQ(v.data, id == kNew ? StoredFormOf(kNew) : stored);
  }
  Start s;
  s.fake.guid.fail = true;
  EXPECT_EQ(GetProductID(s.reg, s.fake.guid), "Unregistered");
  s.fake.guid.fail = false;
  s.fake.registry.Store().refuseWrites = true;
  EXPECT_EQ(GetProductID(s.reg, s.fake.guid), "Unregistered");
}

// The header picture goes through a temporary "qvm" file that never
// outlives the call; after two failures a later call gives up at its first.
TEST(LoadResourcePicture, TriesTwiceThenOnceUntilALoadWorks) {
  Start s;
  s.fake.files.tempPath = s.dir.Path();
  auto& pictures = s.fake.pictures;
  const auto load = [&](const char* name) {
    const auto picture = s.form.Installed.LoadResourcePicture(name);
    EXPECT_TRUE(std::filesystem::is_empty(s.dir.Native())) << "a temporary file was left";
    return std::to_string(pictures.loadedPaths.size()) + " " + (picture ? std::to_string(picture->Width()) : "none");
  };
  EXPECT_EQ(load("RID_Bitmap"), "1 501");
  ASSERT_EQ(s.fake.files.tempFilesMade.size(), 1u);
  EXPECT_TRUE(s.fake.files.tempFilesMade[0].starts_with(s.dir.Path() + "qvm"));
  EXPECT_EQ(pictures.loadedPaths, s.fake.files.tempFilesMade);
  pictures.fail = true;
  EXPECT_EQ(load("rid_bitmap"), "3 none");
  EXPECT_EQ(load("rid_bitmap"), "4 none");
  pictures.fail = false;
  EXPECT_EQ(load("rid_bitmap"), "5 501");
  pictures.failNext = 1;
  EXPECT_EQ(load("rid_bitmap"), "7 501") << "the success started the count again";
  EXPECT_EQ(load("rid_icon"), "7 none") << "only the program's own resources";
}
}  // namespace
