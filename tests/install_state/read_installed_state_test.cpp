// What the wizard learns from the registry at start-up, where the update
// goes, and the stop when the product is not installed properly.
#include <gtest/gtest.h>

#include "fakes/fake_platform.hpp"
#include "support/runtime_error.hpp"
#include "wizard/frm_main.hpp"

namespace {
using namespace std::string_literals;

struct Start {
  FakePlatform fake;
  TempDir dir;
  frmMain form{fake.Services(), "updates.test"};
  cRegistry reg{fake.registry, fake.environment};

  Start() { reg.RootKey("Software\\Tessarine"); }
  void Put(const std::string& key, const std::string& name, const RegValue& v) {
    const int types[] = {1, 4, 3};  // binary keeps one byte fewer than it is given
    RegValue data = v;
    if (auto* bytes = std::get_if<ByteArray>(&data)) bytes->push_back(0);
    ASSERT_TRUE(reg.RegWrite(key, name, data, types[v.index()]));
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
  const struct {
    const char* what;
    std::optional<RegValue> version, path;  // "<dir>" stands for the temporary folder
    std::string expected;
    std::string curDir = "";
  } rows[] = {
      {"no version", {}, "<dir>", "stop"},
      {"an empty version", "", "<dir>", "stop"},
      {"a blank version", "   ", "<dir>", "stop"},
      {"the text of a value created empty", "\0"s, "<dir>", "stop"},
      {"a short build", "3.02.12", "<dir>", "stop"},
      {"a version as a number", std::int32_t{30200012}, "<dir>", "stop"},
      {"a version as bytes", ByteArray{'3', '.', '0', '2', '.', '0', '0', '1', '2'}, "<dir>", "stop"},
      {"a folder", "3.02.0012", "<dir>", "<dir>\\"},
      {"a version with blanks", "  3.02.0012 ", "<dir>\\", "<dir>\\"},
      {"a file", "3.02.0012", "<dir>\\larkspire.exe", "<dir>\\larkspire.exe\\"},
      {"blanks around the folder", "3.02.0012", "  <dir>  ", "Z:\\"},
      {"a missing folder", "3.02.0012", "<dir>\\gone", "Z:\\"},
      {"no folder", "3.02.0012", {}, "Z:\\"},
      {"a folder as bytes", "3.02.0012", ByteArray{'Z', ':', '\\'}, "c:\\", "D:\\setup"},
      {"no drive letter", "3.02.0012", {}, "c:\\", "\\\\server\\share\\setup"},
      {"no such drive", "3.02.0012", {}, "c:\\", "D:\\setup"},
  };
  for (const auto& r : rows) {
    Start s;
    const std::string dir = s.dir.Path().substr(0, s.dir.Path().size() - 1);
    const auto expand = [&](std::string text) {
      if (const auto at = text.find("<dir>"); at != std::string::npos) text.replace(at, 5, dir);
      return text;
    };
    WriteFileBytes(s.dir.File("larkspire.exe"), "MZ");
    s.fake.files.curDir = r.curDir;
    if (r.version) s.Put("\\LarkspireBrowser\\Main", "App Version", *r.version);
    if (auto* text = r.path ? std::get_if<std::string>(&*r.path) : nullptr)
      s.Put("\\LarkspireBrowser\\Main", "App Path", expand(*text));
    else if (r.path)
      s.Put("\\LarkspireBrowser\\Main", "App Path", *r.path);
    EXPECT_EQ(s.Run(), expand(r.expected)) << r.what;
    const bool stopped = r.expected == "stop";
    EXPECT_EQ(s.fake.process.endCount, stopped) << r.what;
    ASSERT_EQ(s.fake.messageBox.shown.size(), stopped) << r.what;
    EXPECT_EQ(!IsBytes(s.reg.RegRead("\\LarkspireBrowser\\Main", "ProductID")), stopped) << "stored only when read";
    if (!stopped) continue;
    EXPECT_EQ(s.fake.messageBox.shown[0].prompt,
              "Larkspire was either not installed or not\r\ninstalled properly. Please reinstall Larkspire.\r\n\r\n"
              "Cannot continue with update.");
    EXPECT_EQ(s.fake.messageBox.shown[0].buttons, Mb::Critical | Mb::OkOnly);
    EXPECT_EQ(s.fake.messageBox.shown[0].title, "Larkspire AutoUpdate");
  }
}

TEST(ReadInstalledState, ReadsTheVersionsOfTheComponents) {
  Start s;
  s.Put("\\LarkspireBrowser\\Main", "App Version", "  3.02.0012 ");
  s.Put("\\Components", "rillgauge", " 1.00.0001 ");
  s.Put("\\Components", "QUILLON", "2.1.3");
  s.Put("\\Components", "qvmpanel", std::int32_t{1});
  s.Put("\\Components", "qvmclock", "4.05.0006");
  s.Put("\\Components", "larkspire", "9.99.9999");
  s.Run();
  EXPECT_EQ(s.form.Installed.State.AppVersion, "  3.02.0012 ");
  const std::array<std::string, 6> expected = {"  3.02.0012 ", "1.00.0001", "0", "0", "0", "4.05.0006"};
  EXPECT_EQ(s.form.Installed.State.InstalledVersions, expected);
}

TEST(ReadInstalledState, AFailedMessageRegistrationStopsBeforeTheRegistryIsRead) {
  Start s;
  s.fake.messages.registerResults.assign(10, 0);
  EXPECT_THROW(s.form.Installed.ReadInstalledState(), RuntimeError);
  RegHandle key = 0;
  EXPECT_EQ(s.fake.registry.OpenKeyEx(Reg::CurrentUser, "Software", Reg::KeyRead, &key), Reg::FileNotFound);
}
}  // namespace
