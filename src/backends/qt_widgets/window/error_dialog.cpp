#include "backends/qt_widgets/window/error_dialog.hpp"

#include <QBitmap>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <cmath>

#include "backends/qt_widgets/window/design.hpp"
#include "design/layout.hpp"

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
      auto* label = new DesignLabel(this);
      label->setTextFormat(Qt::PlainText);
      label->setWordWrap(true);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      w = label;
    }
    auto control = std::make_unique<QtControl>(w, d.kind, pxPerTwip_);
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
  // The bitmap's own background (its corner's colour) is left out, so the
  // icon sits on the dialog's colour, whatever the style's.
  QPixmap picture = ResourcePixmap(resources_, resourceName, "BITMAP");
  if (!picture.isNull())
    picture.setMask(picture.createMaskFromColor(picture.toImage().pixelColor(0, 0), Qt::MaskInColor));
  image->setPixmap(picture);
  image->setAccessibleName(QStringLiteral("Error"));
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
