#pragma once
// A picture box of the Windows program: a child window showing a retained
// bitmap that the program draws on with GDI. What was printed on it since
// it was last cleared is also its window text, for screen readers.
#include <cstdint>
#include <memory>
#include <string>

#include "backends/win32/handles.hpp"
#include "backends/win32/prelude.hpp"
#include "backends/win32/window/design.hpp"
#include "platform/surface.hpp"

class Win32PictureBox : public ISurface {
 public:
  // scaleInTwips: coordinates are twips (the progress bar); otherwise pixels.
  Win32PictureBox(HWND parent, int id, bool scaleInTwips);
  ~Win32PictureBox() override;
  Win32PictureBox(const Win32PictureBox&) = delete;
  Win32PictureBox& operator=(const Win32PictureBox&) = delete;

  HWND Handle() const { return hwnd_; }
  // The box was placed anew: the scale (in twips) and the bitmap follow.
  void Placed(double scaleWidthTwips, double scaleHeightTwips);
  // Its font at the DPI the window is drawn at now.
  void Rescale() { font_ = DialogFontOfSize(fontPoints_); }
  // The window procedure of every picture box.
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

  void SetAutoRedraw(bool) override {}  // always retained
  void Cls() override;
  void SetFontSize(int points) override;
  void SetForeColor(std::uint32_t bgr) override { fore_ = bgr; }
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

 private:
  int PixelWidth() const;
  int PixelHeight() const;
  double FactorX() const;
  double FactorY() const;
  // The retained bitmap at the box's size, what it held kept.
  void EnsureBitmap();
  void Changed();

  HWND hwnd_;
  bool scaleInTwips_;
  double scaleW_ = 0, scaleH_ = 0;
  UniqueMemoryDc memory_;
  UniqueBitmap bitmap_;            // selected into memory_
  HGDIOBJ firstBitmap_ = nullptr;  // what memory_ held when it was made: selected again at the end
  int bitmapW_ = 0, bitmapH_ = 0;
  HFONT font_ = nullptr;  // one of the dialog fonts, kept for the program's life
  int fontPoints_ = 8;
  std::uint32_t fore_ = 0;
  double currentX_ = 0, currentY_ = 0;
  std::wstring printed_;
};
