#pragma once
// A control of a window: caption, enabled, visible, focus and a place in
// twips.
#include <string>

struct TwipsRect {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  bool operator==(const TwipsRect&) const = default;
};

class IControl {
 public:
  virtual ~IControl() = default;
  virtual std::string Caption() const = 0;
  virtual void SetCaption(const std::string& caption) = 0;
  virtual bool Enabled() const = 0;
  virtual void SetEnabled(bool enabled) = 0;
  // The control's own visibility setting (not whether its parent shows).
  virtual bool Visible() const = 0;
  virtual void SetVisible(bool visible) = 0;
  // Gives the control the focus; raises RuntimeError 5 when it cannot take it.
  virtual void SetFocus() = 0;
  virtual bool HasFocus() const = 0;
  virtual void BringToFront() = 0;
  virtual TwipsRect Geometry() const = 0;
  virtual void SetGeometry(const TwipsRect& rect) = 0;
};
