#include "backends/win32/window/picture_box.hpp"

#include <algorithm>
#include <cmath>

#include "backends/win32/wide_text.hpp"
#include "backends/win32/window/design.hpp"
#include "backends/win32/window/picture.hpp"

Win32PictureBox::Win32PictureBox(HWND parent, int id, bool scaleInTwips) : scaleInTwips_(scaleInTwips) {
  hwnd_ = CreateWindowExW(0, kPictureClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, 1, 1, parent,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  memory_.Reset(CreateCompatibleDC(WindowDc(hwnd_).Get()));
  font_ = DialogFontOfSize(8);
  EnsureBitmap();
}

Win32PictureBox::~Win32PictureBox() {
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
  // A bitmap still selected into a context cannot be deleted.
  if (firstBitmap_) SelectObject(memory_.Get(), firstBitmap_);
}

LRESULT CALLBACK Win32PictureBox::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* box = reinterpret_cast<Win32PictureBox*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // the bitmap covers it all
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      if (box) ::BitBlt(dc, 0, 0, box->bitmapW_, box->bitmapH_, box->memory_.Get(), 0, 0, SRCCOPY);
      EndPaint(hwnd, &ps);
      return 0;
    }
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

int Win32PictureBox::PixelWidth() const {
  RECT r{};
  GetClientRect(hwnd_, &r);
  return std::max<int>(1, r.right);
}

int Win32PictureBox::PixelHeight() const {
  RECT r{};
  GetClientRect(hwnd_, &r);
  return std::max<int>(1, r.bottom);
}

double Win32PictureBox::ScaleWidth() const { return scaleInTwips_ ? scaleW_ : PixelWidth(); }
double Win32PictureBox::ScaleHeight() const { return scaleInTwips_ ? scaleH_ : PixelHeight(); }
double Win32PictureBox::FactorX() const { return scaleInTwips_ && scaleW_ > 0 ? PixelWidth() / scaleW_ : 1.0; }
double Win32PictureBox::FactorY() const { return scaleInTwips_ && scaleH_ > 0 ? PixelHeight() / scaleH_ : 1.0; }

void Win32PictureBox::Placed(double scaleWidthTwips, double scaleHeightTwips) {
  scaleW_ = scaleWidthTwips, scaleH_ = scaleHeightTwips;
  EnsureBitmap();
}

void Win32PictureBox::EnsureBitmap() {
  const int w = PixelWidth(), h = PixelHeight();
  if (bitmap_.Valid() && w == bitmapW_ && h == bitmapH_) return;
  UniqueBitmap fresh(CreateCompatibleBitmap(WindowDc(hwnd_).Get(), w, h));
  {
    // The new bitmap starts as what the old one showed, on the face colour.
    const UniqueMemoryDc scratch(CreateCompatibleDC(memory_.Get()));
    const SelectedObject painted(scratch.Get(), fresh.Get());
    RECT all{0, 0, w, h};
    FillRect(scratch.Get(), &all, GetSysColorBrush(COLOR_BTNFACE));
    if (bitmap_.Valid())
      ::BitBlt(scratch.Get(), 0, 0, std::min(w, bitmapW_), std::min(h, bitmapH_), memory_.Get(), 0, 0, SRCCOPY);
  }
  const HGDIOBJ previous = SelectObject(memory_.Get(), fresh.Get());
  if (!firstBitmap_) firstBitmap_ = previous;
  bitmap_ = std::move(fresh);  // the old one, no longer selected, is deleted
  bitmapW_ = w, bitmapH_ = h;
}

void Win32PictureBox::Changed() {
  SetWindowTextW(hwnd_, printed_.c_str());
  InvalidateRect(hwnd_, nullptr, FALSE);
}

void Win32PictureBox::Cls() {
  EnsureBitmap();
  RECT all{0, 0, bitmapW_, bitmapH_};
  FillRect(memory_.Get(), &all, GetSysColorBrush(COLOR_BTNFACE));
  currentX_ = currentY_ = 0;
  printed_.clear();
  Changed();
}

void Win32PictureBox::SetFontSize(int points) {
  fontPoints_ = points;
  font_ = DialogFontOfSize(points);
}

double Win32PictureBox::TextWidth(const std::string& text) { return TextPixels(font_, Widen(text)) / FactorX(); }

double Win32PictureBox::TextHeight(const std::string&) {
  const SelectedObject font(memory_.Get(), font_);
  TEXTMETRICW metrics{};
  GetTextMetricsW(memory_.Get(), &metrics);
  return metrics.tmHeight / FactorY();
}

void Win32PictureBox::Print(const std::string& text) {
  EnsureBitmap();
  const std::wstring wide = Widen(text);
  {
    const SelectedObject font(memory_.Get(), font_);
    SetBkMode(memory_.Get(), TRANSPARENT);
    // The program's colours are blue, green, red from the top byte down, as
    // the system's own.
    SetTextColor(memory_.Get(), static_cast<COLORREF>(fore_));
    TextOutW(memory_.Get(), static_cast<int>(std::lround(currentX_ * FactorX())),
             static_cast<int>(std::lround(currentY_ * FactorY())), wide.c_str(), static_cast<int>(wide.size()));
  }
  if (!printed_.empty()) printed_ += L' ';
  printed_ += wide;
  Changed();
}

void Win32PictureBox::FillBox(double x1, double y1, double x2, double y2, std::uint32_t bgr) {
  EnsureBitmap();
  const auto px = [](double v, double f) { return static_cast<int>(std::lround(v * f)); };
  RECT box{px(std::min(x1, x2), FactorX()), px(std::min(y1, y2), FactorY()), px(std::max(x1, x2), FactorX()),
           px(std::max(y1, y2), FactorY())};
  const UniqueBrush brush(CreateSolidBrush(static_cast<COLORREF>(bgr)));
  FillRect(memory_.Get(), &box, brush.Get());
  Changed();
}

void Win32PictureBox::SetPicture(std::shared_ptr<Picture> picture) {
  auto* win32 = dynamic_cast<Win32Picture*>(picture.get());
  if (!win32) return;
  // The holder takes the picture's size, and the picture is its bitmap.
  SetWindowPos(hwnd_, nullptr, 0, 0, win32->Width(), win32->Height(), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  EnsureBitmap();
  {
    const UniqueMemoryDc scratch(CreateCompatibleDC(memory_.Get()));
    const SelectedObject picture(scratch.Get(), win32->Bitmap());
    ::BitBlt(memory_.Get(), 0, 0, win32->Width(), win32->Height(), scratch.Get(), 0, 0, SRCCOPY);
  }
  Changed();
}

bool Win32PictureBox::BitBlt(int x, int y, int w, int h, ISurface& src, int sx, int sy, std::uint32_t rop) {
  auto* from = dynamic_cast<Win32PictureBox*>(&src);
  if (!from || w <= 0 || h <= 0) return false;
  EnsureBitmap();
  const auto px = [](double v, double f) { return static_cast<int>(std::lround(v * f)); };
  const bool done = StretchBlt(memory_.Get(), px(x, FactorX()), px(y, FactorY()), px(w, FactorX()), px(h, FactorY()),
                               from->memory_.Get(), sx, sy, w, h, rop);
  Changed();
  return done;
}
