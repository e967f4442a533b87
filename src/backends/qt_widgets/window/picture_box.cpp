#include "backends/qt_widgets/window/picture_box.hpp"

#include <QPainter>
#include <cmath>

#include "backends/qt_widgets/picture_service.hpp"
#include "backends/qt_widgets/window/design.hpp"

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
