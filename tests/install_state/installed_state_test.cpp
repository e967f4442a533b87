// What the wizard learns at start-up: the installed versions, where the
// update goes, the stop when the product is not installed properly, the
// product identifier and its scrambled stored form.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>

#include "backends/posix/unique_fd.hpp"
#endif

#include "fakes/fake_platform.hpp"
#include "fakes/registry_test_helpers.hpp"
#include "install_state/product_id.hpp"
#include "install_state/product_id_rules.hpp"
#include "install_state/read_installed_state.hpp"
#include "wizard/frm_main.hpp"

const std::string kKey = kProductIdKeyPhrase, kMain = "\\LarkspireBrowser\\Main";
const std::string kOld = "ZZZZZZZZ-GHIJ-KLMN-OPQR-STUVWXYZ0123", kNew = "0000ABCD-00EF-4A0B-9C01-0000000000FF";

struct Start {
  FakePlatform fake;
  frmMain form{fake.services, "updates.test"};
  cRegistry reg{fake.registry, fake.environment};

  Start() { reg.RootKey("Software\\Tessarine"); }
  void Put(const std::string& key, const std::string& name, RegValue v) {
    if (auto* bytes = std::get_if<ByteArray>(&v)) bytes->push_back(0);  // a binary write keeps one byte fewer
    ASSERT_TRUE(reg.RegWrite(key, name, v, std::array{1, 4, 3}[v.index()]));
  }
};

// The folder found and the versions read, or the stop and its box (critical,
// OK only; its text, and the stop without any "App Version", are the
// end-to-end road's).
TEST(ReadInstalledState, StopsOrFindsTheProductFolder) {
  const std::string stop = "stop / 16 Larkspire AutoUpdate";
  // clang-format off
  const std::tuple<std::optional<RegValue>, std::optional<RegValue>, std::string, std::string> rows[] = {
      // App Version, App Path, the folder found, the current folder ("Z:\" is the root)
      {"   ", "Z:\\tmp", stop, ""}, {std::int32_t{30200012}, "Z:\\tmp", stop, ""},
      {ByteArray{'3', '.', '0', '2', '.', '0', '0', '1', '2'}, "Z:\\tmp", stop, ""},
      {"  3.02.0012 ", "Z:\\tmp", "Z:\\tmp\\", ""}, {"3.02.0012", "  Z:\\tmp  ", "Z:\\", ""},
      {"3.02.0012", "Z:\\tmp\\gone\\larkspire", "Z:\\", ""}, {"3.02.0012", ByteArray{'Z', ':', '\\'}, "c:\\", "D:\\setup"}};
  // clang-format on
  for (const auto& [version, path, expected, curDir] : rows) {
    Start s;
    s.fake.files.curDir = curDir;
    if (version) s.Put(kMain, "App Version", *version);
    if (path) s.Put(kMain, "App Path", *path);
    for (const auto& [name, value] :
         {std::pair<const char*, RegValue>{"rillgauge", " 1.00.0001 "}, {"QUILLON", "2.01.0003"}, {"qvmpanel", 1}})
      s.Put("\\Components", name, value);
    std::string got = "stop";
    try {
      s.form.Installed.ReadInstalledState();
      got = s.form.Installed.State.AppPath;
      for (const std::string& v : s.form.Installed.State.InstalledVersions) got += "|" + v;
    } catch (const ProgramEnded&) {
    }
    for (const auto& box : s.fake.messageBox.shown) got += " / " + std::to_string(box.buttons) + " " + box.title;
    if (IsBytes(s.reg.RegRead(kMain, "ProductID"))) got += " / an identifier";
    // The product's version is kept as it is written.
    EXPECT_EQ(got, expected == stop
                       ? stop
                       : expected + "|" + ValueToText(*version) + "|1.00.0001|2.01.0003|0|0|0 / an identifier");
  }
}

// The bytes stored for an identifier: its scrambled text (and what follows it) in UTF-16, less the last byte.
ByteArray StoredFormOf(const std::string& id, const std::string& after = "") {
  ByteArray bytes = Utf8ToUtf16LeBytes(ScrambleText(kKey, id) + after);
  bytes.pop_back();
  return bytes;
}

// The identifier, and what is stored then.
TEST(GetProductID, KeepsAValidStoredIdentifierAndReplacesAnyOther) {
  // clang-format off
  const std::pair<std::optional<RegValue>, std::string> rows[] = {
      {std::nullopt, kNew}, {StoredFormOf(kOld), kOld}, {StoredFormOf(kOld, "  "), kOld},  // blanks after it are not counted
      {StoredFormOf("0000abcd-00ef-4a0b-9c01-0000000000ff"), kNew}, {StoredFormOf(kOld + "0"), kNew},
      {StoredFormOf(std::string(kOld).replace(8, 1, "X")), kNew}, {StoredFormOf(std::string(kOld).replace(23, 1, "X")), kNew}};
  // clang-format on
  for (const auto& [stored, id] : rows) {
    Start s;
    s.fake.guid.scripted.push_back(Guid{0x0000ABCDu, 0x00EF, 0x4A0B, {0x9C, 0x01, 0, 0, 0, 0, 0, 0xFF}});
    if (stored) s.Put(kMain, "ProductID", *stored);
    EXPECT_EQ(GetProductID(s.reg, s.fake.guid), id);
    // A valid stored identifier is kept as it was stored: nothing is written.
    EXPECT_EQ(ReadStoredAt(s.fake.registry, Reg::CurrentUser, "Software\\Tessarine" + kMain, "ProductID").data,
              id == kNew ? StoredFormOf(kNew) : std::get<ByteArray>(*stored));
  }
  // The stored form of identifiers that earlier versions wrote.
  EXPECT_EQ(ScrambleText(kKey, "0A-"), "\xC3\xA1\xC2\xB4\xC3\x84");  // 0xB0 ^ 'Q', 0xC1 ^ 'u', 0xAD ^ 'i'
  EXPECT_TRUE(ScrambleText(kKey, std::string(32, '0') + "0A-").ends_with("\xC3\xA1\xC2\xB4\xC3\x84"));
#ifndef _WIN32
  Start s;  // a registry file that may not be written does not stop the start-up
  WriteFileBytes(s.fake.home.File("registry.reg"), "REGEDIT4\n");
  chmod(s.fake.home.File("registry.reg").c_str(), 0400);
  EXPECT_EQ(GetProductID(s.reg, s.fake.guid), "Unregistered");
#endif
}

#ifndef _WIN32
// A catalog serial that could not be kept while another program held the
// registry is kept with the next change; until then an older catalog would
// be taken again.
TEST(StoreCatalogSerial, ASerialNotKeptIsTriedAgainWithTheNextChange) {
  Start s;
  InstalledStateReader reader(s.fake.services, [] {});
  reader.Registry = std::make_unique<cRegistry>(s.fake.registry, s.fake.environment);
  reader.Registry->RootKey("Software\\Tessarine");
  s.fake.registry.Store().SetLockWait(std::chrono::milliseconds(30));
  const auto kept = [&] {
    return ReadStoredAt(s.fake.registry, Reg::CurrentUser, "Software\\Tessarine" + kMain, "CatalogSerial").data;
  };
  {
    const UniqueFd held(open(s.fake.home.File("registry.reg.lock").c_str(), O_RDWR | O_CREAT, 0600));
    ASSERT_EQ(flock(held.Get(), LOCK_EX), 0);
    testing::internal::CaptureStderr();
    reader.StoreCatalogSerial("20261208T101500Z");
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(kept(), Bytes(""));
  }
  reader.StorePackageCopies("");
  EXPECT_EQ(std::make_pair(kept(), reader.State.CatalogSerial),
            std::make_pair(BytesZ("20261208T101500Z"), std::string("20261208T101500Z")));
}
#endif
