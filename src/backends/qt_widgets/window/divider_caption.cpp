#include "backends/qt_widgets/window/divider_caption.hpp"

#include <QPainter>

void DividerCaption::SetText(const QString& text) {
  text_ = text;
  // Painted text is invisible to a screen reader; its name carries it.
  setAccessibleName(text);
  update();
}

void DividerCaption::paintEvent(QPaintEvent*) {
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
