#pragma once
// The whole wizard on its real backends, in a sandbox: its own per-user
// registry file, product folder and temporary folder, the real Qt window,
// the real read service, the session bus and the desktop opener. Only the
// message boxes are answered by script and the error dialog is closed by
// the driver, as a user would click OK. Used by the end-to-end tests and
// by the demo's driver.
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/linux_platform.hpp"
#include "backends/qt_widgets/window/error_dialog.hpp"
#include "backends/qt_widgets/window/main_window.hpp"
#include "design/layout.hpp"
#include "fakes/fake_platform.hpp"
#include "fakes/scoped_env.hpp"
#include "wizard/frm_main.hpp"

class Road {
 public:
  // sandbox: a folder holding config/ (the registry), product/ and tmp/.
  Road(const std::string& sandbox, const std::string& updateHost);
  ~Road();

  void Start();
  void Click(Ctl button);
  // Runs the event loop until cond holds; false after timeoutMs.
  bool WaitFor(const std::function<bool()>& cond, int timeoutMs = 30000);
  std::string Caption(Ctl id);
  bool Enabled(Ctl id);
  // Saves the window to folder/name.png; returns the path.
  std::string Shot(const std::string& folder, const std::string& name);

  frmMain& Form() { return *form_; }
  // The services the wizard runs on, for a second user of them (the quiet check).
  const Platform& Services() const { return platform_->services; }
  QtMainWindow& Window() { return *window_; }
  FakeMessageBox& Boxes() { return boxes_; }
  FakeProcessControl& Process() { return process_; }
  // Texts of the error dialogs shown so far.
  const std::vector<std::string>& ErrorDialogs() const { return errors_; }
  // Called while an error dialog is open, before it is closed.
  std::function<void(QtErrorDialog&)> onErrorDialog;

  std::string TempFolder() const { return sandbox_ + "/tmp"; }

 private:
  std::string sandbox_;
  // Temporary files of the wizard and of the read service go to the sandbox.
  ScopedEnv tmpdir_{"TMPDIR", (sandbox_ + "/tmp").c_str()};
  FakeMessageBox boxes_;
  FakeProcessControl process_;
  std::unique_ptr<LinuxPlatform> platform_;
  QtMainWindow* window_ = nullptr;
  std::unique_ptr<frmMain> form_;
  std::vector<std::string> errors_;
};

// Lists the names of the files in a folder (not recursive).
std::vector<std::string> FilesIn(const std::string& folder);
