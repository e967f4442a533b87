#pragma once
#include <QAccessible>
#include <QFont>
#include <QImage>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/surface.hpp"

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
