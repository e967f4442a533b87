#include "platform/qt/qt_main_window.hpp"

#include <QAccessibleWidget>
#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <cmath>

#include "platform/qt/qt_services.hpp"
#include "support/runtime_error.hpp"
#include "wizard/layout.hpp"

double PixelsPerTwip() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const double dpi = screen ? screen->logicalDotsPerInchX() : 96.0;
  return (dpi > 0 ? dpi : 96.0) / 1440.0;
}

namespace {
QString ToDisplay(const std::string& text) {
  QString s = QString::fromStdString(text);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return s;
}

// The dialog font the layout was designed for: 8 points, lines of about
// 200 twips, so the texts fill their labels as intended.
QFont DesignFont() {
  QFont f = QApplication::font();
  // A sans face of the classic dialog font's narrow proportions, where present.
  f.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), f.family()});
  f.setPointSize(8);
  return f;
}

QColor FromBgr(std::uint32_t bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

QPixmap ResourcePixmap(IResources& resources, const std::string& name, const std::string& type) {
  QPixmap pixmap;
  if (auto bytes = resources.LoadResource(name, type))
    pixmap.loadFromData(bytes->data(), static_cast<uint>(bytes->size()));
  return pixmap;
}

// The caption of the button row's frame: its text sits on the divider line,
// with the window's background behind the text only.
class DividerCaption : public QWidget {
 public:
  explicit DividerCaption(QWidget* parent) : QWidget(parent) {}
  void SetText(const QString& text) {
    text_ = text;
    // Painted text is invisible to a screen reader; its name carries it.
    setAccessibleName(text);
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    // The caption keeps to its design width: a wider font is scaled down.
    QFont f = font();
    while (QFontMetrics(f).horizontalAdvance(text_) + 4 > width() && f.pointSizeF() > 5)
      f.setPointSizeF(f.pointSizeF() - 0.5);
    p.setFont(f);
    const QFontMetrics fm(f);
    const int w = fm.horizontalAdvance(text_) + 4;
    p.fillRect(QRect(0, 0, w, height()), palette().window());
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    p.drawText(QRect(2, 0, w, height()), Qt::AlignLeft | Qt::AlignVCenter, text_);
  }

 private:
  QString text_;
};

// A picture box to assistive technology: the header band is a heading named
// by the title printed on it; the progress bar is a progress bar whose value
// is its filled share, named by the label that stands for it.
class PictureBoxAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit PictureBoxAccessible(PictureBox* box) : QAccessibleWidget(box, box->AccessibleRole()) {}

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name && !Box()->PrintedText().isEmpty()) return Box()->PrintedText();
    if (t == QAccessible::Value && IsBar()) return QString::number(Box()->FilledPercent()) + QLatin1Char('%');
    return QAccessibleWidget::text(t);
  }

  void* interface_cast(QAccessible::InterfaceType t) override {
    if (t == QAccessible::ValueInterface && IsBar()) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(t);
  }

  QVariant currentValue() const override { return Box()->FilledPercent(); }
  void setCurrentValue(const QVariant&) override {}  // the download sets it, not the user
  QVariant maximumValue() const override { return 100; }
  QVariant minimumValue() const override { return 0; }
  QVariant minimumStepSize() const override { return 1; }

 private:
  PictureBox* Box() const { return static_cast<PictureBox*>(widget()); }
  bool IsBar() const { return Box()->AccessibleRole() == QAccessible::ProgressBar; }
};

QAccessibleInterface* PaintedWidgetAccessible(const QString&, QObject* object) {
  if (auto* box = dynamic_cast<PictureBox*>(object)) return new PictureBoxAccessible(box);
  if (auto* caption = dynamic_cast<DividerCaption*>(object))
    return new QAccessibleWidget(caption, QAccessible::StaticText);
  return nullptr;
}
}  // namespace

// ---------------------------------------------------------------- controls

namespace {
// A label one line high keeps its text on that line: where this font is
// wider than the one the layout was drawn for, the label's font shrinks a
// little instead of wrapping the rest out of sight.
void FitOneLine(QLabel& label) {
  if (label.wordWrap() && label.height() > QFontMetrics(label.font()).lineSpacing() * 3 / 2) return;
  QFont f = label.parentWidget() ? label.parentWidget()->font() : label.font();
  const QString text = label.text();
  while (f.pointSizeF() > 6 && QFontMetrics(f).horizontalAdvance(text) > label.width())
    f.setPointSizeF(f.pointSizeF() - 0.5);
  label.setFont(f);
}

// A button whose caption names no access key ("Stop", "Retry", "Install",
// "Finished") gets its first letter as one, so that Alt and that letter
// press it as they press "&Next". The caption itself stays as given. No page
// shows two buttons with the same first letter.
QString ButtonText(const std::string& caption) {
  QString text = ToDisplay(caption);
  if (!text.contains(QLatin1Char('&')) && !text.isEmpty() && text.front().isLetterOrNumber())
    text.prepend(QLatin1Char('&'));
  return text;
}
}  // namespace

void QtControl::SetCaption(const std::string& caption) {
  caption_ = caption;
  if (auto* label = dynamic_cast<QLabel*>(widget_)) {
    label->setText(ToDisplay(caption));
    FitOneLine(*label);
  } else if (auto* button = dynamic_cast<QPushButton*>(widget_))
    button->setText(ButtonText(caption));
  else if (auto* divider = dynamic_cast<DividerCaption*>(widget_))
    divider->SetText(ToDisplay(caption));
}

bool QtControl::Enabled() const { return !widget_->testAttribute(Qt::WA_Disabled); }

void QtControl::SetEnabled(bool enabled) { widget_->setEnabled(enabled); }

bool QtControl::Visible() const { return !widget_->isHidden(); }

void QtControl::SetVisible(bool visible) { widget_->setVisible(visible); }

void QtControl::SetFocus() {
  if (widget_->testAttribute(Qt::WA_Disabled) || widget_->isHidden()) RaiseError(ErrNo::InvalidArgument);
  widget_->setFocus(Qt::OtherFocusReason);
}

bool QtControl::HasFocus() const { return widget_->hasFocus(); }

void QtControl::BringToFront() { widget_->raise(); }

void QtControl::SetGeometry(const TwipsRect& rect) {
  rect_ = rect;
  const auto px = [this](int twips) { return static_cast<int>(std::lround(twips * pxPerTwip_)); };
  widget_->setGeometry(px(rect.Left), px(rect.Top), px(rect.Width), px(rect.Height));
  if (auto* box = dynamic_cast<PictureBox*>(widget_); box && kind_ == static_cast<int>(CtlKind::Picture))
    box->SetScaleTwips(rect.Width, rect.Height);
}

// ------------------------------------------------------------- picture box

PictureBox::PictureBox(QWidget* parent, bool scaleInTwips, QAccessible::Role role)
    : QWidget(parent), scaleInTwips_(scaleInTwips), role_(role) {
  font_ = DesignFont();
  // One notice per drawing: Cls and the redraw that follows it come as one.
  announce_.setSingleShot(true);
  announce_.setInterval(0);
  QObject::connect(&announce_, &QTimer::timeout, this, [this] { Announce(); });
}

void PictureBox::ScheduleAnnounce() {
  if (!announce_.isActive()) announce_.start();
}

void PictureBox::Announce() {
  const QString text = PrintedText();
  if (text != announcedText_) {
    announcedText_ = text;
    QAccessibleEvent event(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
  }
  if (role_ == QAccessible::ProgressBar && filledPercent_ != announcedPercent_) {
    announcedPercent_ = filledPercent_;
    QAccessibleValueChangeEvent event(this, filledPercent_);
    QAccessible::updateAccessibility(&event);
  }
}

double PictureBox::ScaleWidth() const { return scaleInTwips_ ? scaleW_ : width(); }
double PictureBox::ScaleHeight() const { return scaleInTwips_ ? scaleH_ : height(); }
double PictureBox::FactorX() const { return scaleInTwips_ && scaleW_ > 0 ? width() / scaleW_ : 1.0; }
double PictureBox::FactorY() const { return scaleInTwips_ && scaleH_ > 0 ? height() / scaleH_ : 1.0; }

void PictureBox::EnsureImage() {
  const qreal dpr = devicePixelRatioF();
  const QSize want(std::max(1, static_cast<int>(std::ceil(width() * dpr))),
                   std::max(1, static_cast<int>(std::ceil(height() * dpr))));
  if (image_.size() != want) {
    QImage fresh(want, QImage::Format_ARGB32_Premultiplied);
    fresh.setDevicePixelRatio(dpr);
    fresh.fill(palette().color(QPalette::Window));
    if (!image_.isNull()) {
      QPainter p(&fresh);
      p.drawImage(QPointF(0, 0), image_);
    }
    image_ = fresh;
  }
}

void PictureBox::resizeEvent(QResizeEvent*) { EnsureImage(); }

void PictureBox::Cls() {
  EnsureImage();
  image_.fill(palette().color(QPalette::Window));
  currentX_ = currentY_ = 0;
  printed_.clear();
  filledPercent_ = 0;
  ScheduleAnnounce();
  update();
}

void PictureBox::SetFontSize(int points) { font_.setPointSize(points); }

double PictureBox::TextWidth(const std::string& text) {
  return QFontMetricsF(font_, this).horizontalAdvance(QString::fromStdString(text)) / FactorX();
}

double PictureBox::TextHeight(const std::string&) { return QFontMetricsF(font_, this).height() / FactorY(); }

void PictureBox::Print(const std::string& text) {
  EnsureImage();
  QPainter p(&image_);
  p.setRenderHint(QPainter::TextAntialiasing);
  p.setFont(font_);
  p.setPen(FromBgr(foreColor_));
  const QFontMetricsF fm(font_, this);
  p.drawText(QPointF(currentX_ * FactorX(), currentY_ * FactorY() + fm.ascent()), QString::fromStdString(text));
  printed_.append(QString::fromStdString(text));
  ScheduleAnnounce();
  update();
}

void PictureBox::FillBox(double x1, double y1, double x2, double y2, std::uint32_t bgr) {
  EnsureImage();
  QPainter p(&image_);
  p.fillRect(QRectF(QPointF(x1 * FactorX(), y1 * FactorY()), QPointF(x2 * FactorX(), y2 * FactorY())).normalized(),
             FromBgr(bgr));
  // A box from the left edge is a bar: its share of the width is its value.
  if (ScaleWidth() > 0)
    filledPercent_ = static_cast<int>(std::clamp(std::lround(100 * std::abs(x2 - x1) / ScaleWidth()), 0L, 100L));
  ScheduleAnnounce();
  update();
}

void PictureBox::SetPicture(std::shared_ptr<Picture> picture) {
  auto* qt = dynamic_cast<QtPicture*>(picture.get());
  if (!qt) return;
  // The holder takes the picture's size, and the picture is its image.
  resize(qt->Width(), qt->Height());
  image_ = qt->Image().convertToFormat(QImage::Format_ARGB32_Premultiplied);
  image_.setDevicePixelRatio(1.0);
  update();
}

bool PictureBox::BitBlt(int x, int y, int w, int h, ISurface& src, int sx, int sy, std::uint32_t) {
  auto* from = dynamic_cast<PictureBox*>(&src);
  if (!from || w <= 0 || h <= 0) return false;
  EnsureImage();
  QPainter p(&image_);
  const qreal sdpr = from->image_.devicePixelRatio();
  p.drawImage(QRectF(x * FactorX(), y * FactorY(), w * FactorX(), h * FactorY()), from->image_,
              QRectF(sx * sdpr, sy * sdpr, w * sdpr, h * sdpr));
  update();
  return true;
}

void PictureBox::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (!image_.isNull()) p.drawImage(QPointF(0, 0), image_);
}

// ------------------------------------------------------------------ timers

QtTimer::QtTimer() {
  QObject::connect(&timer_, &QTimer::timeout, [this] {
    if (handler_) handler_();
  });
}

void QtTimer::SetEnabled(bool enabled) {
  if (enabled)
    timer_.start();
  else
    timer_.stop();
}

// ------------------------------------------------------------- main window

QtMainWindow::QtMainWindow(IResources& resources) : resources_(resources), pxPerTwip_(PixelsPerTwip()) {
  static const bool accessibleFactory = (QAccessible::installFactory(&PaintedWidgetAccessible), true);
  (void)accessibleFactory;
  setFont(DesignFont());
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  const auto px = [this](int twips) { return static_cast<int>(std::lround(twips * pxPerTwip_)); };
  setFixedSize(px(kFormWidthTwips), px(kFormHeightTwips));

  for (const ControlDesign& d : MainWindowDesign()) {
    QWidget* parent = d.parent == Ctl::Count ? static_cast<QWidget*>(this) : WidgetOf(d.parent);
    QWidget* w = nullptr;
    switch (d.kind) {
      case CtlKind::Picture:
        w = new PictureBox(parent, d.id == Ctl::picLoad,
                           d.id == Ctl::Picture1  ? QAccessible::Heading
                           : d.id == Ctl::picLoad ? QAccessible::ProgressBar
                                                  : QAccessible::Graphic);
        break;
      case CtlKind::Frame:
        w = new QWidget(parent);
        break;
      case CtlKind::Line: {
        auto* line = new QFrame(parent);
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Sunken);
        w = line;
        break;
      }
      case CtlKind::Label: {
        auto* label = new QLabel(parent);
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(d.id != Ctl::lblLoad);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        w = label;
        break;
      }
      case CtlKind::Button:
        w = new QPushButton(parent);
        break;
      case CtlKind::Caption:
        w = new DividerCaption(parent);
        break;
    }
    w->setObjectName(d.name);
    auto control = std::make_unique<QtControl>(w, static_cast<int>(d.kind), pxPerTwip_);
    control->SetGeometry(d.rect);
    control->SetCaption(d.caption);
    controls_[static_cast<std::size_t>(d.id)] = std::move(control);
  }
  WidgetOf(Ctl::picBitmap)->hide();
  // The label beside the bar names it for a screen reader.
  static_cast<QLabel*>(WidgetOf(Ctl::Label2_3))->setBuddy(WidgetOf(Ctl::picLoad));
  // The caption is drawn over the divider line.
  WidgetOf(Ctl::Frame1)->raise();
  auto* next = static_cast<QPushButton*>(WidgetOf(Ctl::Cmd1));
  next->setDefault(true);
  setTabOrder(WidgetOf(Ctl::Cmd1), WidgetOf(Ctl::Cmd0));
  setTabOrder(WidgetOf(Ctl::Cmd0), WidgetOf(Ctl::Cmd2));
  timers_[0].SetInterval(1000);
  timers_[1].SetInterval(500);
}

QtMainWindow::~QtMainWindow() = default;

void QtMainWindow::Attach(IMainWindowEvents* form) {
  form_ = form;
  for (int i = 0; i < CmdCount; ++i)
    connect(static_cast<QPushButton*>(WidgetOf(Cmd(i))), &QPushButton::clicked, this, [this, i] {
      if (form_) form_->Cmd_Click(i);
    });
  for (int i = 0; i < CmdLoadCount; ++i)
    connect(static_cast<QPushButton*>(WidgetOf(cmdLoad(i))), &QPushButton::clicked, this, [this, i] {
      if (form_) form_->cmdLoad_Click(i);
    });
  timers_[0].OnTick([this] {
    if (form_) form_->tmrStatus_Timer();
  });
  timers_[1].OnTick([this] {
    if (form_) form_->tmrDownload_Timer();
  });
}

QWidget* QtMainWindow::WidgetOf(Ctl id) const {
  const auto& c = controls_[static_cast<std::size_t>(id)];
  return c ? c->Widget() : nullptr;
}

PictureBox* QtMainWindow::PictureOf(Ctl id) const { return dynamic_cast<PictureBox*>(WidgetOf(id)); }

IControl& QtMainWindow::Control(Ctl id) { return *controls_[static_cast<std::size_t>(id)]; }

ISurface& QtMainWindow::Surface(Ctl id) {
  PictureBox* box = PictureOf(id);
  if (!box) RaiseError(ErrNo::InvalidArgument);
  return *box;
}

ITimer& QtMainWindow::Timer(TimerId id) { return timers_[id == TimerId::tmrStatus ? 0 : 1]; }

void QtMainWindow::SetCaption(const std::string& caption) { setWindowTitle(QString::fromStdString(caption)); }

void QtMainWindow::SetIcon(const std::string& resourceName) {
  const QPixmap pixmap = ResourcePixmap(resources_, resourceName, "ICON");
  if (!pixmap.isNull()) {
    setWindowIcon(QIcon(pixmap));
    QApplication::setWindowIcon(QIcon(pixmap));
  }
}

double QtMainWindow::TextWidth(const std::string& text) {
  return QFontMetricsF(font(), this).horizontalAdvance(QString::fromStdString(text)) / pxPerTwip_;
}

int QtMainWindow::WidthTwips() const { return static_cast<int>(std::lround(frameGeometry().width() / pxPerTwip_)); }

void QtMainWindow::Unload() {
  closingByCode_ = true;
  close();
  closingByCode_ = false;
  if (quitOnUnload_) QCoreApplication::exit(0);
}

void QtMainWindow::CentreOnScreen() {
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
}

void QtMainWindow::closeEvent(QCloseEvent* event) {
  int cancel = 0;
  if (!closingByCode_ && form_) form_->Form_QueryUnload(cancel, 0);
  if (cancel) {
    event->ignore();
    return;
  }
  unloaded_ = true;
  for (auto& t : timers_) t.SetEnabled(false);
  event->accept();
  if (form_) form_->Form_Unload();
}

void QtMainWindow::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  if (form_) form_->Form_Resize();
}

void QtMainWindow::reject() {
  // Escape presses Cancel, as the cancel button of the dialog.
  auto* cancel = static_cast<QPushButton*>(WidgetOf(Ctl::Cmd2));
  if (cancel->isEnabled() && cancel->isVisible()) cancel->click();
}

// ------------------------------------------------------------ error dialog

QtErrorDialog::QtErrorDialog(QWidget* parent, IResources& resources)
    : QDialog(parent), resources_(resources), pxPerTwip_(PixelsPerTwip()) {
  setFont(DesignFont());
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setModal(true);
  const auto px = [this](int twips) { return static_cast<int>(std::lround(twips * pxPerTwip_)); };
  setFixedSize(px(kErrorDialogInnerWidth), px(kErrorDialogInnerHeight));
  for (const ErrorDialogDesign& d : ErrorDialogLayout()) {
    QWidget* w = nullptr;
    if (d.kind == CtlKind::Button) {
      auto* ok = new QPushButton(this);
      ok->setDefault(true);
      connect(ok, &QPushButton::clicked, this, [this] { Unload(); });
      w = ok;
    } else {
      auto* label = new QLabel(this);
      label->setTextFormat(Qt::PlainText);
      label->setWordWrap(true);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      w = label;
    }
    auto control = std::make_unique<QtControl>(w, static_cast<int>(d.kind), pxPerTwip_);
    control->SetGeometry(d.rect);
    controls_[static_cast<std::size_t>(d.id)] = std::move(control);
  }
  controls_[static_cast<std::size_t>(ErrCtl::Cmd)]->SetCaption("&OK");
}

QtErrorDialog::~QtErrorDialog() = default;

IControl& QtErrorDialog::Control(ErrCtl id) { return *controls_[static_cast<std::size_t>(id)]; }

QWidget* QtErrorDialog::WidgetOf(ErrCtl id) const { return controls_[static_cast<std::size_t>(id)]->Widget(); }

void QtErrorDialog::SetCaption(const std::string& caption) { setWindowTitle(QString::fromStdString(caption)); }

void QtErrorDialog::UseMainIcon() {
  if (parentWidget()) setWindowIcon(parentWidget()->windowIcon());
}

void QtErrorDialog::SetImage(const std::string& resourceName) {
  auto* image = static_cast<QLabel*>(WidgetOf(ErrCtl::Image1));
  image->setPixmap(ResourcePixmap(resources_, resourceName, "BITMAP"));
}

double QtErrorDialog::TextWidth(const std::string& text) {
  return QFontMetricsF(font(), this).horizontalAdvance(QString::fromStdString(text)) / pxPerTwip_;
}

int QtErrorDialog::OuterHeight() const {
  const int frame = frameGeometry().height() - geometry().height();
  return static_cast<int>(std::lround((height() + std::max(frame, 0)) / pxPerTwip_));
}

int QtErrorDialog::InnerHeight() const { return static_cast<int>(std::lround(height() / pxPerTwip_)); }

void QtErrorDialog::SetOuterHeight(int twips) {
  const int frameTwips = OuterHeight() - InnerHeight();
  setFixedHeight(static_cast<int>(std::lround((twips - frameTwips) * pxPerTwip_)));
}

void QtErrorDialog::ShowModal() {
  if (onShown) QTimer::singleShot(0, this, [this] { onShown(*this); });
  exec();
}

void QtErrorDialog::Unload() { accept(); }

std::unique_ptr<IErrorDialogView> QtDialogFactory::CreateErrorDialog() {
  auto dialog = std::make_unique<QtErrorDialog>(parent_, resources_);
  dialog->onShown = onShown;
  return dialog;
}

// -------------------------------------------------------------- event loop

void QtEventLoop::DoEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void QtEventLoop::Sleep(std::uint32_t milliseconds) { QThread::msleep(milliseconds); }

void QtEventLoop::SetBusyPointer(bool busy) {
  if (busy && !busy_) QApplication::setOverrideCursor(Qt::WaitCursor);
  if (!busy && busy_) QApplication::restoreOverrideCursor();
  busy_ = busy;
}
