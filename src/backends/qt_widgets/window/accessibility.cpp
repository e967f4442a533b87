#include "backends/qt_widgets/window/accessibility.hpp"

#include <QAccessibleWidget>
#include <QFrame>

#include "backends/qt_widgets/window/divider_caption.hpp"
#include "backends/qt_widgets/window/picture_box.hpp"

namespace {
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

// A page's frame is a group named by the page's title in the header, so a
// reader says where the user is rather than an unnamed filler.
class PageFrameAccessible : public QAccessibleWidget {
 public:
  explicit PageFrameAccessible(QWidget* frame) : QAccessibleWidget(frame, QAccessible::Grouping) {}
  QString text(QAccessible::Text t) const override {
    if (t != QAccessible::Name) return QAccessibleWidget::text(t);
    const auto* header = widget()->window()->findChild<PictureBox*>(QStringLiteral("Picture1"));
    return header ? header->PrintedText() : QString();
  }
};

QAccessibleInterface* PaintedWidgetAccessible(const QString&, QObject* object) {
  if (auto* box = dynamic_cast<PictureBox*>(object)) return new PictureBoxAccessible(box);
  if (auto* caption = dynamic_cast<DividerCaption*>(object))
    return new QAccessibleWidget(caption, QAccessible::StaticText);
  auto* widget = qobject_cast<QWidget*>(object);
  if (!widget) return nullptr;
  // The divider lines are separators, which readers pass over.
  if (auto* line = qobject_cast<QFrame*>(widget); line && line->frameShape() == QFrame::HLine)
    return new QAccessibleWidget(line, QAccessible::Separator);
  if (widget->objectName().startsWith(QStringLiteral("frMain("))) return new PageFrameAccessible(widget);
  return nullptr;
}
}  // namespace

void InstallPaintedWidgetAccessibility() {
  static const bool installed = (QAccessible::installFactory(&PaintedWidgetAccessible), true);
  (void)installed;
}
