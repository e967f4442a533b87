#include "backends/qt_widgets/window/main_window.hpp"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <cmath>

#include "backends/qt_widgets/window/accessibility.hpp"
#include "backends/qt_widgets/window/design.hpp"
#include "backends/qt_widgets/window/divider_caption.hpp"
#include "design/layout.hpp"
#include "support/runtime_error.hpp"

QtMainWindow::QtMainWindow(IResources& resources) : resources_(resources), pxPerTwip_(PixelsPerTwip()) {
  InstallPaintedWidgetAccessibility();
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
        auto* label = new DesignLabel(parent);
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
    auto control = std::make_unique<QtControl>(w, d.kind, pxPerTwip_);
    control->SetGeometry(d.rect);
    control->SetCaption(d.caption);
    controls_[static_cast<std::size_t>(d.id)] = std::move(control);
  }
  WidgetOf(Ctl::picBitmap)->hide();
  // The label beside the bar names it for a screen reader, and each status
  // caption the figure beside it ("Time remaining:" labels "1:40 minutes").
  static_cast<QLabel*>(WidgetOf(Ctl::Label2_3))->setBuddy(WidgetOf(Ctl::picLoad));
  for (const auto& [caption, value] :
       {std::pair{Ctl::lblStatus0, Ctl::lblInfo0}, std::pair{Ctl::lblStatus1, Ctl::lblInfo1},
        std::pair{Ctl::lblStatus2, Ctl::lblInfo2}, std::pair{Ctl::lblStatus3, Ctl::lblInfo3}})
    static_cast<QLabel*>(WidgetOf(caption))->setBuddy(WidgetOf(value));
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
