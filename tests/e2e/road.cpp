#include "road.hpp"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <fstream>

Road::Road(const std::string& sandbox, const std::string& updateHost) : sandbox_(sandbox) {
  std::filesystem::create_directories(sandbox_ + "/product");
  std::filesystem::create_directories(TempFolder());
  // The user's answers come from the script, and the end of the program is recorded.
  platform_ = std::make_unique<LinuxPlatform>(sandbox_ + "/config/larkspire/registry.reg");
  platform_->services.messageBox = &boxes_;
  platform_->services.process = &process_;
  platform_->reader.SetDownloadFolder(QString::fromStdString(TempFolder()));
  window_ = platform_->window.get();
  platform_->dialogs->onShown = [this](QtErrorDialog& d) {
    errors_.push_back(static_cast<QLabel*>(d.WidgetOf(ErrCtl::Label2))->text().toStdString());
    if (onErrorDialog) onErrorDialog(d);
    QTest::mouseClick(d.WidgetOf(ErrCtl::Cmd), Qt::LeftButton);
  };
  form_ = std::make_unique<frmMain>(platform_->services, updateHost);
  window_->Attach(form_.get());
}

Road::~Road() {
  // Like a user closing the wizard at the end: the window unloads.
  if (window_ && !window_->Unloaded()) window_->Unload();
  form_.reset();
  platform_.reset();
  QApplication::processEvents();
}

void Road::Start() {
  form_->Form_Load();
  window_->CentreOnScreen();
  window_->show();
  window_->activateWindow();
  (void)QTest::qWaitForWindowExposed(window_);  // offscreen windows are exposed at once
}

void Road::Click(Ctl button) {
  QTest::mouseClick(window_->WidgetOf(button), Qt::LeftButton);
  QApplication::processEvents();
}

bool Road::WaitFor(const std::function<bool()>& cond, int timeoutMs) {
  QElapsedTimer waited;
  waited.start();
  while (!cond()) {
    if (waited.elapsed() > timeoutMs) return false;
    QTest::qWait(10);
  }
  return true;
}

std::string Road::Caption(Ctl id) { return window_->Control(id).Caption(); }

bool Road::Enabled(Ctl id) { return window_->WidgetOf(id)->isEnabled(); }

std::string Road::Shot(const std::string& folder, const std::string& name) {
  QDir().mkpath(QString::fromStdString(folder));
  const std::string path = folder + "/" + name + ".png";
  window_->grab().save(QString::fromStdString(path));
  return path;
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> out;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec)) out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}
