#pragma once
// The wizard on the fake platform and the real window, with an installed
// product seeded in the registry and its folder in a temporary directory. What the user would see is read from the
// window.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QTest>
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

  frmMain& Make() {
    form = std::make_unique<frmMain>(fake.services, "updates.test:8731");
    return *form;
  }

  // Loads the wizard and shows its window, as the program does. attached:
  // clicks, keys, timers and the title bar's close reach the wizard; else
  // the test calls their handlers itself.
  frmMain& Start(bool attached = false) {
    Make();
    if (attached) window.Attach(form.get());
    form->Form_Load();
    window.show();
    window.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    return *form;
  }

  std::string Caption(Ctl id) { return window.Control(id).Caption(); }
  bool Enabled(Ctl id) { return window.Control(id).Enabled(); }
  // The heading painted on the band, as a screen reader reads it.
  std::string Header() {
    return QAccessible::queryAccessibleInterface(window.WidgetOf(Ctl::Picture1))->text(QAccessible::Name).toStdString();
  }
  // The control that has the focus in the window (also while a dialog is
  // in front of it); Ctl::Count for none.
  Ctl Focused() {
    for (const ControlDesign& d : MainWindowDesign())
      if (window.WidgetOf(d.id) && window.WidgetOf(d.id) == window.focusWidget()) return d.id;
    return Ctl::Count;
  }
  std::vector<Ctl> VisibleFrames() {
    std::vector<Ctl> out;
    for (Ctl f : {Ctl::frMain0, Ctl::frMain2, Ctl::frMain3, Ctl::frMain4})
      if (window.Control(f).Visible()) out.push_back(f);
    return out;
  }
  bool TimerOn(TimerId id) { return window.Timer(id).Enabled(); }
  // Answers the next message boxes with these answers, in order.
  void Answer(std::initializer_list<int> answers) { fake.messageBox.answers.assign(answers); }
  std::size_t BoxesShown() const { return fake.messageBox.shown.size(); }

  TempDir dir;
  FakePlatform fake;
  QtMainWindow& window = *fake.window;
  FakeShell& shell = fake.shell;
  FakeConnection& connection = fake.connection;
  FakeEventLoop& events = fake.events;
  std::unique_ptr<frmMain> form;
};
