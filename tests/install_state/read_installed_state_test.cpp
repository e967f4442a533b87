// ReadInstalledState: what the wizard learns at start-up from the registry,
// and the stop when the product is not installed properly.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "fakes/fake_platform.hpp"
#include "fakes/registry_test_helpers.hpp"
#include "platform/posix/file_hive_store.hpp"
#include "platform/posix/posix_services.hpp"
#include "support/runtime_error.hpp"
#include "wizard/frm_main.hpp"

namespace {

const std::string kMain = "Software\\Tessarine\\LarkspireBrowser\\Main";
const std::string kComponents = "Software\\Tessarine\\Components";
const std::string kStopMessage =
    "Larkspire was either not installed or not\r\n"
    "installed properly. Please reinstall Larkspire.\r\n"
    "\r\n"
    "Cannot continue with update.";

class ReadInstalledStateTest : public ::testing::Test {
 protected:
  void Put(const std::string& path, const std::string& name, std::uint32_t type,
           const std::vector<std::uint8_t>& data) {
    const RegHandle key = MustCreate(fake_.registry, Reg::CurrentUser, path);
    ASSERT_EQ(WriteStored(fake_.registry, key, name, type, data), Reg::Success);
    fake_.registry.CloseKey(key);
  }
  void PutText(const std::string& path, const std::string& name, const std::string& text) {
    Put(path, name, Reg::Sz, BytesZ(text));
  }
  bool Exists(const std::string& path) {
    RegHandle key = 0;
    if (fake_.registry.OpenKeyEx(Reg::CurrentUser, path, Reg::KeyRead, &key) != Reg::Success) return false;
    fake_.registry.CloseKey(key);
    return true;
  }
  // Runs discovery; true when the program was ended.
  bool Run() {
    try {
      form_->Installed.ReadInstalledState();
    } catch (const ProgramEnded&) {
      return true;
    }
    return false;
  }

  FakePlatform fake_;
  TempDir dir_;
  std::unique_ptr<frmMain> form_ = std::make_unique<frmMain>(fake_.Services(), "updates.test");
};

// ---- the stop ----

struct BadVersion {
  const char* what;
  bool keyExists;
  std::uint32_t type;
  std::vector<std::uint8_t> data;  // no value when empty and type is REG_NONE
};

void PrintTo(const BadVersion& row, std::ostream* os) { *os << row.what; }

class NotInstalledProperly : public ReadInstalledStateTest, public ::testing::WithParamInterface<BadVersion> {};

TEST_P(NotInstalledProperly, ShowsTheStopMessageAndEndsTheProgram) {
  const auto& p = GetParam();
  if (p.keyExists) {
    if (p.type == Reg::None && p.data.empty())
      PutText(kMain, "App Path", dir_.Path());
    else
      Put(kMain, "App Version", p.type, p.data);
  }
  ASSERT_TRUE(Run()) << "the program goes on";

  EXPECT_EQ(fake_.process.endCount, 1);
  ASSERT_EQ(fake_.messageBox.shown.size(), 1u);
  EXPECT_EQ(fake_.messageBox.shown[0].prompt, kStopMessage);
  EXPECT_EQ(fake_.messageBox.shown[0].buttons, Mb::Critical | Mb::OkOnly);
  EXPECT_EQ(fake_.messageBox.shown[0].title, "Larkspire AutoUpdate");
  EXPECT_EQ(form_->MessageText, "") << "the scratch text is emptied after use";

  // Nothing after the stop ran.
  EXPECT_EQ(fake_.guid.made, 0) << "no product identifier was made";
  EXPECT_EQ(ReadStoredAt(fake_.registry, Reg::CurrentUser, kMain, "ProductID").rc, Reg::FileNotFound);
  EXPECT_FALSE(Exists(kComponents));
  EXPECT_TRUE(Exists(kMain)) << "the key that reading created stays";
}

INSTANTIATE_TEST_SUITE_P(Versions, NotInstalledProperly,
                         ::testing::Values(BadVersion{"NoKey", false, Reg::None, {}},
                                           BadVersion{"NoValue", true, Reg::None, {}},
                                           BadVersion{"Empty", true, Reg::Sz, BytesZ("")},
                                           BadVersion{"Blank", true, Reg::Sz, BytesZ("   ")},
                                           BadVersion{"NulCharacter", true, Reg::Sz, BytesZ(std::string(1, '\0'))},
                                           BadVersion{"ShortParts", true, Reg::Sz, BytesZ("3.2.12")},
                                           BadVersion{"ShortBuild", true, Reg::Sz, BytesZ("3.02.12")},
                                           BadVersion{"LetterInBuild", true, Reg::Sz, BytesZ("3.02.001a")},
                                           BadVersion{"TwoParts", true, Reg::Sz, BytesZ("2.00")},
                                           BadVersion{"Number", true, Reg::Dword, {0x2C, 0xD0, 0xCC, 0x01}},
                                           BadVersion{"Binary", true, Reg::Binary, Bytes("3.02.0012")}),
                         [](const ::testing::TestParamInfo<BadVersion>& info) { return std::string(info.param.what); });

TEST(ReadInstalledStateOnTheRegistryFile, AnUnreadableFileMeansNotInstalledAndStaysAsItWas) {
  TempDir dir;
  const std::string path = dir.File("registry.reg");
  const std::string text =
      "Windows Registry Editor Version 5.00\n\n"
      "[HKEY_CURRENT_USER\\Software\\Tessarine\\LarkspireBrowser\\Main]\n"
      "\"App Version\"=\"3.02.0012\n";  // the closing quote is lost
  WriteFileBytes(path, text);
  FileRegistryApi registry(path);
  FakePlatform fake({.registry = &registry});
  frmMain form(fake.Services(), "updates.test");

  EXPECT_THROW(form.Installed.ReadInstalledState(), ProgramEnded);
  EXPECT_EQ(fake.process.endCount, 1);
  ASSERT_EQ(fake.messageBox.shown.size(), 1u);
  EXPECT_EQ(fake.messageBox.shown[0].prompt, kStopMessage);
  EXPECT_EQ(ReadFileBytes(path), text) << "byte for byte";
}

TEST(ReadInstalledStateOnTheRegistryFile, AProductFolderInAnyScriptIsFound) {
  TempDir dir;
  // ".../łukasz/Программы": the registry file holds it as UTF-8, as it is.
  const std::string folder =
      dir.File("\xC5\x82ukasz/\xD0\x9F\xD1\x80\xD0\xBE\xD0\xB3\xD1\x80\xD0\xB0\xD0\xBC\xD0\xBC\xD1\x8B");
  ASSERT_TRUE(std::filesystem::create_directories(folder));
  const std::string path = dir.File("registry.reg");
  WriteFileBytes(path, "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\" + kMain +
                           "]\n\"App Version\"=\"3.02.0012\"\n\"App Path\"=\"" + folder + "\"\n");
  FileRegistryApi registry(path);
  FakePlatform fake({.registry = &registry});
  frmMain form(fake.Services(), "updates.test");

  form.Installed.ReadInstalledState();
  EXPECT_TRUE(fake.messageBox.shown.empty());
  std::string expected = folder + "/";
  std::replace(expected.begin(), expected.end(), '/', '\\');
  EXPECT_EQ(form.Installed.State.AppPath, expected) << "the folder itself, not the default one";
}

// ---- what is read ----

TEST_F(ReadInstalledStateTest, AValidVersionGoesOnWithoutAMessage) {
  PutText(kMain, "App Version", "3.02.0012");
  PutText(kMain, "App Path", dir_.Path());
  ASSERT_FALSE(Run());
  EXPECT_TRUE(fake_.messageBox.shown.empty());
  EXPECT_EQ(fake_.process.endCount, 0);
  EXPECT_EQ(form_->Installed.State.AppVersion, "3.02.0012");
  EXPECT_EQ(form_->Installed.State.AppPath, dir_.Path());
  EXPECT_EQ(form_->Installer.MsgGeneral, static_cast<std::int32_t>(StableMessageId("lkSMsgGeneral")));
  EXPECT_EQ(form_->Installed.Registry->RootKey(), "Software\\Tessarine");
}

TEST_F(ReadInstalledStateTest, AppVersionKeepsItsBlanks) {
  PutText(kMain, "App Version", "  3.02.0012 ");
  ASSERT_FALSE(Run());
  EXPECT_EQ(form_->Installed.State.AppVersion, "  3.02.0012 ");
  EXPECT_EQ(form_->Installed.State.InstalledVersions[0], "  3.02.0012 ") << "the product's own version is a copy";
}

TEST_F(ReadInstalledStateTest, ComponentVersionsAreTrimmedAndChecked) {
  PutText(kMain, "App Version", "3.02.0012");
  PutText(kComponents, "rillgauge", " 1.00.0001 ");
  PutText(kComponents, "QUILLON", "2.1.3");  // names match without case; the version is not valid
  Put(kComponents, "qvmpanel", Reg::Dword, {1, 0, 0, 0});
  PutText(kComponents, "qvmclock", "4.05.0006");
  PutText(kComponents, "larkspire", "9.99.9999");  // not read: the product's version is App Version
  ASSERT_FALSE(Run());
  const std::array<std::string, 6> expected = {"3.02.0012", "1.00.0001", "0", "0", "0", "4.05.0006"};
  EXPECT_EQ(form_->Installed.State.InstalledVersions, expected);
}

TEST_F(ReadInstalledStateTest, AMissingComponentsKeyGivesZerosAndIsLeftCreated) {
  PutText(kMain, "App Version", "3.02.0012");
  ASSERT_FALSE(Run());
  const std::array<std::string, 6> expected = {"3.02.0012", "0", "0", "0", "0", "0"};
  EXPECT_EQ(form_->Installed.State.InstalledVersions, expected);
  EXPECT_TRUE(Exists(kComponents));
  EXPECT_FALSE(Exists("Software\\Tessarine\\LarkspireBrowser\\Components")) << "a sibling, not a child";
}

struct AppPathRow {
  const char* what;
  // The stored value; "<dir>" stands for the temporary folder in program form.
  std::string stored;
  std::uint32_t type;
  std::string expected;
};

void PrintTo(const AppPathRow& row, std::ostream* os) { *os << row.what; }

class AppPathFallback : public ReadInstalledStateTest, public ::testing::WithParamInterface<AppPathRow> {};

TEST_P(AppPathFallback, NormalisedOrTheCurrentDrivesRoot) {
  auto expand = [&](std::string s) {
    const std::string dirNoSlash = dir_.Path().substr(0, dir_.Path().size() - 1);
    for (std::size_t at; (at = s.find("<dir>")) != std::string::npos;) s.replace(at, 5, dirNoSlash);
    return s;
  };
  WriteFileBytes(dir_.File("larkspire.exe"), "MZ");
  PutText(kMain, "App Version", "3.02.0012");
  if (GetParam().type == Reg::Sz)
    PutText(kMain, "App Path", expand(GetParam().stored));
  else if (GetParam().type == Reg::Binary)
    Put(kMain, "App Path", Reg::Binary, Bytes(expand(GetParam().stored)));
  ASSERT_FALSE(Run());
  EXPECT_EQ(form_->Installed.State.AppPath, expand(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, AppPathFallback,
    ::testing::Values(AppPathRow{"FolderWithoutBackslash", "<dir>", Reg::Sz, "<dir>\\"},
                      AppPathRow{"FolderWithBackslash", "<dir>\\", Reg::Sz, "<dir>\\"},
                      // The file test takes the text as it is: blanks before the drive name no folder.
                      AppPathRow{"FolderWithBlanks", "  <dir>  ", Reg::Sz, "Z:\\"},
                      AppPathRow{"AFile", "<dir>\\larkspire.exe", Reg::Sz, "<dir>\\larkspire.exe\\"},
                      AppPathRow{"MissingFolder", "<dir>\\gone", Reg::Sz, "Z:\\"},
                      AppPathRow{"OtherDrive", "C:\\Program Files\\Larkspire", Reg::Sz, "Z:\\"},
                      AppPathRow{"Empty", "", Reg::Sz, "Z:\\"}, AppPathRow{"NoValue", "", Reg::None, "Z:\\"},
                      AppPathRow{"Binary", "<dir>", Reg::Binary, "Z:\\"}),
    [](const ::testing::TestParamInfo<AppPathRow>& info) { return std::string(info.param.what); });

TEST_F(ReadInstalledStateTest, AMissingAppPathWithoutADriveLetterGivesC) {
  PutText(kMain, "App Version", "3.02.0012");
  fake_.files.curDir = "\\\\server\\share\\setup";
  ASSERT_FALSE(Run());
  EXPECT_EQ(form_->Installed.State.AppPath, "c:\\");
}

TEST_F(ReadInstalledStateTest, MakesSureAProductIdentifierIsStored) {
  PutText(kMain, "App Version", "3.02.0012");
  ASSERT_FALSE(Run());
  const StoredValue id = ReadStoredAt(fake_.registry, Reg::CurrentUser, kMain, "ProductID");
  EXPECT_EQ(id.type, Reg::Binary);
  EXPECT_EQ(id.data.size(), 71u);
}

TEST_F(ReadInstalledStateTest, AFailedMessageRegistrationStopsBeforeTheRegistryIsRead) {
  for (int i = 0; i < 10; ++i) fake_.messages.registerResults.push_back(0);
  try {
    form_->Installed.ReadInstalledState();
    FAIL() << "no error";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.Number(), -2147220504);
    EXPECT_EQ(e.Description(), "Couldn't register window messages.");
  }
  EXPECT_FALSE(Exists("Software")) << "nothing was read, so nothing was created";
  EXPECT_TRUE(fake_.messageBox.shown.empty());
}

}  // namespace
