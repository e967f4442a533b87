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
#include "wizard/frm_main.hpp"

namespace {
using namespace std::string_literals;
const std::string kKey = kProductIdKeyPhrase, kMain = "\\LarkspireBrowser\\Main";
const std::string kOld = "ZZZZZZZZ-GHIJ-KLMN-OPQR-STUVWXYZ0123", kNew = "0000ABCD-00EF-4A0B-9C01-0000000000FF";

struct Start {
  FakePlatform fake;
  TempDir dir;
  frmMain form{fake.Services(), "updates.test"};
  RecordingRegistryApi recorder{fake.registry};
  cRegistry reg{recorder, fake.environment};

  Start() { reg.RootKey("Software\\Tessarine"); }
  void Put(const std::string& key, const std::string& name, RegValue v) {
    if (auto* bytes = std::get_if<ByteArray>(&v)) bytes->push_back(0);  // a binary write keeps one byte fewer
    ASSERT_TRUE(reg.RegWrite(key, name, v, std::array{1, 4, 3}[v.index()]));
  }
};

// The folder found and the versions read, or the stop and its box (critical, OK only).
TEST(ReadInstalledState, StopsOrFindsTheProductFolder) {
  const std::string stop =
      "stop / Larkspire was either not installed or not\r\ninstalled properly. Please reinstall Larkspire.\r\n\r\n"
      "Cannot continue with update. / 16 Larkspire AutoUpdate";
  const std::tuple<std::optional<RegValue>, std::optional<RegValue>, std::string, std::string> rows[] = {
      // App Version, App Path ("<dir>" the temporary folder), the folder found, the current folder
      {{}, "<dir>", stop, ""},
      {"   ", "<dir>", stop, ""},
      {"\0"s, "<dir>", stop, ""},  // the text of a value created empty
      {"3.02.12", "<dir>", stop, ""},
      {std::int32_t{30200012}, "<dir>", stop, ""},
      {ByteArray{'3', '.', '0', '2', '.', '0', '0', '1', '2'}, "<dir>", stop, ""},
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
    for (const auto& [name, value] :
         {std::pair<const char*, RegValue>{"rillgauge", " 1.00.0001 "}, {"QUILLON", "2.01.0003"}, {"qvmpanel", 1}})
      s.Put("\\Components", name, value);
    if (path) s.Put(kMain, "App Path", IsText(*path) ? RegValue(expand(std::get<std::string>(*path))) : *path);
    std::string got = "stop";
    try {
      s.form.Installed.ReadInstalledState();
      got = s.form.Installed.State.AppPath;
      for (const std::string& v : s.form.Installed.State.InstalledVersions) got += "|" + v;
    } catch (const ProgramEnded&) {
    }
    for (const auto& box : s.fake.messageBox.shown)
      got += " / " + box.prompt + " / " + std::to_string(box.buttons) + " " + box.title;
    if (IsBytes(s.reg.RegRead(kMain, "ProductID"))) got += " / an identifier";
    // The product's version is kept as it is written.
    EXPECT_EQ(got, expand(expected == stop
                              ? stop
                              : expected + "|" + ValueToText(*version) + "|1.00.0001|2.01.0003|0|0|0 / an identifier"));
  }
}

// The bytes stored for an identifier: its scrambled text in UTF-16, less the last byte.
ByteArray StoredFormOf(const std::string& id) {
  ByteArray bytes = Utf8ToUtf16LeBytes(ScrambleText(kKey, id));
  bytes.pop_back();
  return bytes;
}

TEST(ScrambleText, FlipsTheTopBitThenAddsTheKeyPhrase) {
  EXPECT_EQ(ScrambleText(kKey, "0A-"), "\xC3\xA1\xC2\xB4\xC3\x84");  // 0xB0 ^ 'Q', 0xC1 ^ 'u', 0xAD ^ 'i'
  EXPECT_TRUE(ScrambleText(kKey, std::string(32, '0') + "0A-").ends_with("\xC3\xA1\xC2\xB4\xC3\x84"));
  // The last character's high byte is dropped from the stored form: it must be 0.
  for (char c : std::string("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-"))
    EXPECT_EQ(Utf8ToUtf16LeBytes(ScrambleText(kKey, std::string(35, '0') + c)).back(), 0) << c;
}

// The identifier, the values written and the keys left open; then what is stored.
TEST(GetProductID, KeepsAValidStoredIdentifierAndReplacesAnyOther) {
  const std::pair<std::optional<RegValue>, std::string> rows[] = {
      {std::nullopt, kNew},
      {StoredFormOf(kOld), kOld},
      {kOld, kNew},                      // as text
      {Utf8ToUtf16LeBytes(kOld), kNew},  // not scrambled
      {StoredFormOf("0000abcd-00ef-4a0b-9c01-0000000000ff"), kNew},
      {StoredFormOf(kOld + "0"), kNew},
      {StoredFormOf(std::string(kOld).replace(8, 1, "X")), kNew},
      {StoredFormOf(std::string(kOld).replace(23, 1, "X")), kNew},
      {StoredFormOf(kOld.substr(0, 35) + "\xC3\x89"), kNew},
  };
  for (const auto& [stored, id] : rows) {
    Start s;
    s.fake.guid.scripted.push_back(Guid{0x0000ABCDu, 0x00EF, 0x4A0B, {0x9C, 0x01, 0, 0, 0, 0, 0, 0xFF}});
    if (stored) s.Put(kMain, "ProductID", *stored);
    const int before = s.recorder.setValueCalls;
    const std::string got = GetProductID(s.reg, s.fake.guid);
    EXPECT_EQ(
        got + " " + std::to_string(s.recorder.setValueCalls - before) + " " + std::to_string(s.recorder.OpenHandles()),
        id + (id == kNew ? " 1 0" : " 0 0"));
    EXPECT_EQ(ReadStoredAt(s.fake.registry, Reg::CurrentUser, "Software\\Tessarine" + kMain, "ProductID").data,
              StoredFormOf(id));
  }
  Start s;
  s.fake.guid.fail = true;
  EXPECT_EQ(GetProductID(s.reg, s.fake.guid), "Unregistered");
  s.fake.guid.fail = false;
  s.fake.registry.Store().refuseWrites = true;
  EXPECT_EQ(GetProductID(s.reg, s.fake.guid), "Unregistered");
}

// After two failed loads a later call gives up at its first, until a load
// works; the temporary copy never outlives a call.
TEST(LoadResourcePicture, TriesTwiceThenOnceUntilALoadWorks) {
  Start s;
  s.fake.files.tempPath = s.dir.Path();
  auto& pictures = s.fake.pictures;
  std::string loads;  // after each call: the decoder's calls so far, and whether a picture came
  const auto load = [&](const char* name) {
    const bool got = s.form.Installed.LoadResourcePicture(name) != nullptr;
    loads += std::to_string(pictures.loadedPaths.size()) + (got ? "+ " : "- ");
  };
  pictures.fail = true;
  load("rid_bitmap");
  load("rid_bitmap");
  pictures.fail = false;
  load("RID_Bitmap");
  pictures.failNext = 1;
  load("rid_bitmap");
  load("rid_icon");  // only the program's own resources
  EXPECT_EQ(loads, "2- 3- 4+ 6+ 6- ");
  EXPECT_TRUE(std::filesystem::is_empty(s.dir.Native()));
}
}  // namespace
