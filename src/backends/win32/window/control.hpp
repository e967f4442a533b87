#pragma once
// A child window seen as a control of the design: a label, a button, a
// frame, a line or a picture box, at its place in twips.
#include <string>

#include "backends/win32/prelude.hpp"
#include "design/layout.hpp"
#include "platform/control.hpp"

class Win32PictureBox;

// The control a top-level window's keyboard belongs to, kept as a property
// of that window: the one the program gave the focus last, or the one that
// had it when the window was left for a message box, a dialog or another
// program. The window gives it back when it is active again.
inline constexpr const wchar_t* kKeyboardOwner = L"LarkspireKeyboardOwner";
// Posted to a top-level window whose focused button was disabled: once the
// program has finished changing the page, the keyboard goes to its default.
inline constexpr UINT kGiveBackKeyboard = WM_APP + 7;

class Win32Control : public IControl {
 public:
  // box: the picture box behind a picture control.
  Win32Control(HWND hwnd, CtlKind kind, double pxPerTwip, Win32PictureBox* box = nullptr)
      : hwnd_(hwnd), kind_(kind), pxPerTwip_(pxPerTwip), box_(box) {}
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
  HWND Handle() const { return hwnd_; }
  // Places the control anew for another DPI, in the font made for it.
  void Rescale(double pxPerTwip);

 private:
  HWND hwnd_;
  CtlKind kind_;
  double pxPerTwip_;
  Win32PictureBox* box_;
  TwipsRect rect_;
  std::string caption_;
};
