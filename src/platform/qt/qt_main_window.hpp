#pragma once
// The real main window and download-error dialog: Qt widgets placed at the
// design's twips, converted at the screen's logical DPI.
#include <QAccessible>
#include <QDialog>
#include <QImage>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

#include "platform/event_loop.hpp"
#include "platform/system_services.hpp"
#include "platform/window.hpp"

class QLabel;

// Pixels per twip at the logical DPI of the primary screen (1/15 at 96 DPI).
double PixelsPerTwip();

// A widget seen as a control of the design.
class QtControl : public IControl {
 public:
  QtControl(QWidget* widget, int kind, double pxPerTwip) : widget_(widget), kind_(kind), pxPerTwip_(pxPerTwip) {}
  std::string Caption() const override { return caption_; }
  void SetCaption(const std::string& caption) override;
  bool Enabled() const override;
  void SetEnabled(bool enabled) override;
  bool Visible() const override;
  void SetVisible(bool visible) override;
  void SetFocus() override;
  bool HasFocus() const override;
  void BringToFront() override;
  TwipsRect Geometry() const override { return rect_; }
  void SetGeometry(const TwipsRect& rect) override;
  QWidget* Widget() const { return widget_; }

 private:
  QWidget* widget_;
  int kind_;
  double pxPerTwip_;
  TwipsRect rect_;
  std::string caption_;
};

// A picture box: a retained image that the program draws on. What is drawn
// is also kept in words for assistive technology: the texts printed since the
// surface was last cleared (the header band's title), and for the progress
// bar the share of its width that is filled.
class PictureBox : public QWidget, public ISurface {
 public:
  // scaleInTwips: coordinates are twips (the progress bar); otherwise pixels.
  // role: what the box is to a screen reader (Heading, ProgressBar, Graphic).
  PictureBox(QWidget* parent, bool scaleInTwips, QAccessible::Role role);
  void SetAutoRedraw(bool) override {}  // always retained
  void Cls() override;
  void SetFontSize(int points) override;
  void SetForeColor(std::uint32_t bgr) override { foreColor_ = bgr; }
  double ScaleLeft() const override { return 0; }
  double ScaleTop() const override { return 0; }
  double ScaleWidth() const override;
  double ScaleHeight() const override;
  double TextWidth(const std::string& text) override;
  double TextHeight(const std::string& text) override;
  void SetCurrentX(double x) override { currentX_ = x; }
  void SetCurrentY(double y) override { currentY_ = y; }
  void Print(const std::string& text) override;
  void FillBox(double x1, double y1, double x2, double y2, std::uint32_t bgr) override;
  void SetPicture(std::shared_ptr<Picture> picture) override;
  bool BitBlt(int x, int y, int w, int h, ISurface& src, int sx, int sy, std::uint32_t rop) override;

  const QImage& Image() const { return image_; }
  // The scale width/height in twips (for the progress bar) once placed.
  void SetScaleTwips(double w, double h) { scaleW_ = w, scaleH_ = h; }

  QAccessible::Role AccessibleRole() const { return role_; }
  // The texts printed since the last Cls, one after the other.
  QString PrintedText() const { return printed_.join(QLatin1Char(' ')); }
  // The filled share of the width, 0 to 100, since the last Cls.
  int FilledPercent() const { return filledPercent_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  double FactorX() const;
  double FactorY() const;
  void EnsureImage();
  // Tells assistive technology, once the current drawing is done, what
  // changed in the text or the filled share.
  void ScheduleAnnounce();
  void Announce();

  bool scaleInTwips_;
  QAccessible::Role role_;
  QStringList printed_;
  int filledPercent_ = 0;
  QString announcedText_;
  int announcedPercent_ = 0;
  QTimer announce_;
  double scaleW_ = 0, scaleH_ = 0;
  QImage image_;
  QFont font_;
  std::uint32_t foreColor_ = 0;
  double currentX_ = 0, currentY_ = 0;
};

class QtTimer : public ITimer {
 public:
  QtTimer();
  void SetInterval(int ms) override { timer_.setInterval(ms); }
  int Interval() const override { return timer_.interval(); }
  void SetEnabled(bool enabled) override;
  bool Enabled() const override { return timer_.isActive(); }
  void OnTick(std::function<void()> handler) { handler_ = std::move(handler); }

 private:
  QTimer timer_;
  std::function<void()> handler_;
};

class QtMainWindow : public QDialog, public IMainWindowView {
 public:
  explicit QtMainWindow(class IResources& resources);
  ~QtMainWindow() override;

  // Routes the window's events to the form's handlers.
  void Attach(IMainWindowEvents* form);

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

class QtErrorDialog : public QDialog, public IErrorDialogView {
 public:
  QtErrorDialog(QWidget* parent, IResources& resources);
  ~QtErrorDialog() override;
  IControl& Control(ErrCtl id) override;
  void SetCaption(const std::string& caption) override;
  void UseMainIcon() override;
  void SetImage(const std::string& resourceName) override;
  double TextWidth(const std::string& text) override;
  int OuterHeight() const override;
  int InnerHeight() const override;
  void SetOuterHeight(int twips) override;
  void ShowModal() override;
  void Unload() override;
  QWidget* WidgetOf(ErrCtl id) const;
  std::function<void(QtErrorDialog&)> onShown;

 private:
  IResources& resources_;
  double pxPerTwip_;
  std::array<std::unique_ptr<QtControl>, static_cast<std::size_t>(ErrCtl::Count)> controls_;
};

class QtDialogFactory : public IDialogFactory {
 public:
  QtDialogFactory(QWidget* parent, IResources& resources) : parent_(parent), resources_(resources) {}
  std::unique_ptr<IErrorDialogView> CreateErrorDialog() override;
  // Called with each dialog once it is shown (tests close it from here).
  std::function<void(QtErrorDialog&)> onShown;

 private:
  QWidget* parent_;
  IResources& resources_;
};

class QtEventLoop : public IEventLoop {
 public:
  void DoEvents() override;
  void Sleep(std::uint32_t milliseconds) override;
  void SetBusyPointer(bool busy) override;

 private:
  bool busy_ = false;
};
