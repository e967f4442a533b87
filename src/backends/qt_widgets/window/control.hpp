#pragma once
#include <QWidget>
#include <string>

#include "design/layout.hpp"
#include "platform/control.hpp"

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
