#include "backends/qt_widgets/window/control.hpp"

#include <QPushButton>
#include <cmath>

#include "backends/qt_widgets/window/design.hpp"
#include "backends/qt_widgets/window/divider_caption.hpp"
#include "backends/qt_widgets/window/picture_box.hpp"
#include "design/layout.hpp"
#include "support/runtime_error.hpp"

void DesignLabel::SetCaptionText(const QString& text) {
  setText(text);
  fitted_ = false;
  if (isVisible()) FitOneLine();
}

// Fitted as it, or the page it is on, is about to be seen.
void DesignLabel::showEvent(QShowEvent* event) {
  if (!fitted_) FitOneLine();
  QLabel::showEvent(event);
}

void DesignLabel::FitOneLine() {
  fitted_ = true;
  if (wordWrap() && height() > QFontMetrics(font()).lineSpacing() * 3 / 2) return;
  QFont f = parentWidget() ? parentWidget()->font() : font();
  const QString line = text();
  while (f.pointSizeF() > 6 && QFontMetrics(f).horizontalAdvance(line) > width()) f.setPointSizeF(f.pointSizeF() - 0.5);
  setFont(f);
}

namespace {
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
  if (auto* label = dynamic_cast<DesignLabel*>(widget_))
    // An address keeps "scheme://" with what follows (word joiners, which
    // show nothing): a long one breaks after its host or at a "/" of its
    // path, not after "http://".
    label->SetCaptionText(ToDisplay(caption).replace(QStringLiteral("://"), QStringLiteral(":\u2060/\u2060/\u2060")));
  else if (auto* button = dynamic_cast<QPushButton*>(widget_))
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
  if (auto* box = dynamic_cast<PictureBox*>(widget_); box && kind_ == CtlKind::Picture)
    box->SetScaleTwips(rect.Width, rect.Height);
}
