#include "backends/win32/window/control.hpp"

#include "backends/win32/handles.hpp"
#include "backends/win32/wide_text.hpp"
#include "backends/win32/window/design.hpp"
#include "backends/win32/window/picture_box.hpp"
#include "design/layout.hpp"
#include "support/runtime_error.hpp"

namespace {
// The caption on the divider line covers the line under its text only.
void FitCaptionWidth(HWND hwnd, const std::wstring& text) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
  SetWindowPos(hwnd, nullptr, 0, 0, static_cast<int>(TextPixels(DialogFont(), text)) + 4, r.bottom - r.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}
// A label one line high keeps its text on that line: where the system's
// dialog face is wider than the one the layout was drawn for, the label's
// font shrinks a little instead of wrapping the rest out of sight.
void FitOneLine(HWND label, const std::wstring& text) {
  const HFONT smaller[] = {DialogFontOfSize(7), DialogFontOfSize(6)};
  RECT r{};
  GetClientRect(label, &r);
  TEXTMETRICW metrics{};
  {
    const WindowDc dc(label);
    const SelectedObject font(dc.Get(), DialogFont());
    GetTextMetricsW(dc.Get(), &metrics);
  }
  HFONT font = DialogFont();
  if (r.bottom < metrics.tmHeight * 3 / 2)
    for (HFONT f : smaller)
      if (TextPixels(font, text) > r.right) font = f;
  SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}
}  // namespace

void Win32Control::SetCaption(const std::string& caption) {
  caption_ = caption;
  const CtlKind kind = kind_;
  if (kind == CtlKind::Button) {
    SetWindowTextW(hwnd_, ButtonText(caption).c_str());
  } else if (kind == CtlKind::Label || kind == CtlKind::Caption) {
    const std::wstring text = Widen(caption);
    SetWindowTextW(hwnd_, text.c_str());
    if (kind == CtlKind::Caption) FitCaptionWidth(hwnd_, text);
    if (kind == CtlKind::Label) FitOneLine(hwnd_, text);
  }
}

bool Win32Control::Enabled() const { return IsWindowEnabled(hwnd_); }

void Win32Control::SetEnabled(bool enabled) {
  // A button that loses the focus as it is disabled would leave the
  // keyboard nowhere: the focus moves on to the next control that takes it.
  if (!enabled && GetFocus() == hwnd_) {
    const HWND root = GetAncestor(hwnd_, GA_ROOT);
    HWND next = GetNextDlgTabItem(root, hwnd_, FALSE);
    if (next && next != hwnd_) ::SetFocus(next);
    PostMessageW(root, kGiveBackKeyboard, 0, 0);
  }
  EnableWindow(hwnd_, enabled);
}

bool Win32Control::Visible() const { return (GetWindowLongW(hwnd_, GWL_STYLE) & WS_VISIBLE) != 0; }

void Win32Control::SetVisible(bool visible) { ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE); }

void Win32Control::SetFocus() {
  if (!IsWindowEnabled(hwnd_) || !Visible()) RaiseError(ErrNo::InvalidArgument);
  // While a dialog of the program's own holds the window disabled, the
  // focus is given when the window is active again.
  const HWND root = GetAncestor(hwnd_, GA_ROOT);
  SetPropW(root, kKeyboardOwner, hwnd_);
  if (IsWindowEnabled(root)) ::SetFocus(hwnd_);
}

bool Win32Control::HasFocus() const { return GetFocus() == hwnd_; }

void Win32Control::BringToFront() {
  SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Win32Control::Rescale(double pxPerTwip) {
  pxPerTwip_ = pxPerTwip;
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(DialogFont()), FALSE);
  if (box_) box_->Rescale();
  SetGeometry(rect_);
  if (kind_ == CtlKind::Label) FitOneLine(hwnd_, Widen(caption_));
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void Win32Control::SetGeometry(const TwipsRect& rect) {
  rect_ = rect;
  const RECT px = PixelRect(rect, pxPerTwip_);
  SetWindowPos(hwnd_, nullptr, px.left, px.top, px.right - px.left, px.bottom - px.top, SWP_NOZORDER | SWP_NOACTIVATE);
  if (box_) box_->Placed(rect.Width, rect.Height);
  if (kind_ == CtlKind::Caption) FitCaptionWidth(hwnd_, Widen(caption_));
}
