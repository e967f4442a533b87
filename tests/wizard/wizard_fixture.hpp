#pragma once
// A main window on the fake platform, with an installed product seeded in
// the in-memory registry and its folder in a temporary directory.
#include <gtest/gtest.h>

#include <memory>

#include "fakes/fake_platform.hpp"
#include "fakes/fake_window.hpp"
#include "support/c_registry.hpp"
#include "wizard/frm_main.hpp"
#include "wizard/layout.hpp"

class WizardTest : public ::testing::Test {
 protected:
  // overrides: real services in place of fakes.
  explicit WizardTest(PlatformOverrides overrides = {}) : fake(overrides) {}

  void SetUp() override {
    cRegistry reg(fake.registry, fake.environment);
    reg.RootKey("Software\\Tessarine");
    ASSERT_TRUE(reg.RegWrite("\\LarkspireBrowser\\Main", "App Version", std::string("3.02.0012")));
    ASSERT_TRUE(reg.RegWrite("\\LarkspireBrowser\\Main", "App Path", dir.Path()));
    ASSERT_TRUE(reg.RegWrite("\\Components", "quillon", std::string("1.00.0001")));
  }

  frmMain& Make() {
    form = std::make_unique<frmMain>(fake.Services(), "updates.test:8731");
    return *form;
  }

  frmMain& Start() {
    Make().Form_Load();
    return *form;
  }

  std::string Caption(Ctl id) { return window.Ctrl(id).Caption(); }
  bool Enabled(Ctl id) { return window.Ctrl(id).Enabled(); }
  // Answers the next message boxes with these answers, in order.
  void Answer(std::initializer_list<int> answers) { fake.messageBox.answers.assign(answers); }
  std::size_t BoxesShown() const { return fake.messageBox.shown.size(); }

  TempDir dir;
  FakePlatform fake;
  FakeMainWindowView& window = fake.window;
  FakeDialogFactory& dialogs = fake.dialogs;
  FakeShell& shell = fake.shell;
  FakeConnection& connection = fake.connection;
  FakeEventLoop& events = fake.events;
  std::unique_ptr<frmMain> form;
};
