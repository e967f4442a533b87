#pragma once
// The real main window: Qt widgets placed at the design's twips, converted
// at the screen's logical DPI.
#include <QDialog>
#include <array>
#include <memory>

#include "backends/qt_widgets/window/control.hpp"
#include "backends/qt_widgets/window/picture_box.hpp"
#include "backends/qt_widgets/window/timer.hpp"
#include "platform/control.hpp"
#include "platform/main_window_view.hpp"
#include "platform/resources.hpp"
#include "platform/surface.hpp"
#include "platform/timer.hpp"

class QtMainWindow : public QDialog, public IMainWindowView {
 public:
  explicit QtMainWindow(IResources& resources);
  ~QtMainWindow() override;

  // Routes the window's events to the form's handlers.
  void Attach(IMainWindowEvents* form);
  // No more events reach the form (it is about to go).
  void Detach() { form_ = nullptr; }

  IControl& Control(Ctl id) override;
  ISurface& Surface(Ctl id) override;
  ITimer& Timer(TimerId id) override;
  void SetCaption(const std::string& caption) override;
  void SetIcon(const std::string& resourceName) override;
  double TextWidth(const std::string& text) override;
  int WidthTwips() const override;
  void Unload() override;

  bool Unloaded() const { return unloaded_; }
  // Whether Unload also ends the application's event loop (the real program).
  void SetQuitOnUnload(bool quit) { quitOnUnload_ = quit; }
  QWidget* WidgetOf(Ctl id) const;
  PictureBox* PictureOf(Ctl id) const;
  // Centres the window on its screen.
  void CentreOnScreen();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void reject() override;

 private:
  IResources& resources_;
  IMainWindowEvents* form_ = nullptr;
  double pxPerTwip_;
  std::array<std::unique_ptr<QtControl>, static_cast<std::size_t>(Ctl::Count)> controls_;
  std::array<QtTimer, 2> timers_;
  bool closingByCode_ = false;
  bool unloaded_ = false;
  bool quitOnUnload_ = false;
};
