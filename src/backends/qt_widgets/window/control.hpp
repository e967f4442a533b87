#pragma once
#include <QLabel>
#include <QWidget>
#include <string>

#include "design/layout.hpp"
#include "platform/control.hpp"

// A label of the design. One a line high keeps its text on that line: where
// this font is wider than the one the layout was drawn for, its font shrinks
// a little instead of wrapping the rest out of sight. Measuring loads the
// font's glyphs, so it waits until the label is about to be seen: the
// captions of the pages not on screen cost nothing until their page shows.
// A caption is fitted to the label's width when it is given (SetCaptionText;
// setText does not fit) or as the label shows; a label resized afterwards is
// not fitted again (the design never resizes one).
class DesignLabel : public QLabel {
 public:
  explicit DesignLabel(QWidget* parent) : QLabel(parent) {}
  void SetCaptionText(const QString& text);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FitOneLine();
  bool fitted_ = true;
};

// A widget seen as a control of the design.
class QtControl : public IControl {
 public:
  QtControl(QWidget* widget, CtlKind kind, double pxPerTwip) : widget_(widget), kind_(kind), pxPerTwip_(pxPerTwip) {}
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
  CtlKind kind_;
  double pxPerTwip_;
  TwipsRect rect_;
  std::string caption_;
};
