#pragma once
// The wizard on the fake platform, with an installed product seeded in the
// registry and its folder in a temporary directory. What the user would see
// is read from the window, the fake one or (window_test.cpp) the real one.
#include <gtest/gtest.h>

#include <memory>

#include "design/layout.hpp"
#include "fakes/fake_platform.hpp"
#include "support/c_registry.hpp"
#include "wizard/frm_main.hpp"

class WizardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cRegistry reg(fake.registry, fake.environment);
    reg.RootKey("Software\\Tessarine");
    ASSERT_TRUE(reg.RegWrite("\\LarkspireBrowser\\Main", "App Version", std::string("3.02.0012")));
    ASSERT_TRUE(reg.RegWrite("\\LarkspireBrowser\\Main", "App Path", dir.Path()));
    ASSERT_TRUE(reg.RegWrite("\\Components", "quillon", std::string("1.00.0001")));
  }

  frmMain& Make() { return *(form = std::make_unique<frmMain>(fake.services, "updates.test:8731")); }

  // Loads the wizard, as the program does; the test calls the handlers that
  // clicks and timers would call.
  frmMain& Start() {
    Make().Form_Load();
    return *form;
  }

  IMainWindowView& View() { return *fake.services.window; }
  std::string Caption(Ctl id) { return View().Control(id).Caption(); }
  bool Enabled(Ctl id) { return View().Control(id).Enabled(); }
  // The heading printed on the band.
  std::string Header() { return window.SurfaceOf(Ctl::Picture1).printed; }
  // The control that has the focus in the window; Ctl::Count for none.
  Ctl Focused() {
    for (const ControlDesign& d : MainWindowDesign())
      if (View().Control(d.id).HasFocus()) return d.id;
    return Ctl::Count;
  }
  std::vector<Ctl> VisibleFrames() {
    std::vector<Ctl> out;
    for (Ctl f : {Ctl::frMain0, Ctl::frMain2, Ctl::frMain3, Ctl::frMain4})
      if (View().Control(f).Visible()) out.push_back(f);
    return out;
  }
  bool TimerOn(TimerId id) { return View().Timer(id).Enabled(); }
  // Answers the next message boxes with these answers, in order.
  void Answer(std::initializer_list<int> answers) { fake.messageBox.answers.assign(answers); }
  std::size_t BoxesShown() const { return fake.messageBox.shown.size(); }

  TempDir dir;
  FakePlatform fake;
  FakeMainWindow& window = fake.window;
  FakeShell& shell = fake.shell;
  FakeConnection& connection = fake.connection;
  FakeEventLoop& events = fake.events;
  std::unique_ptr<frmMain> form;
};
