#include "wizard/drawing.hpp"

#include <cmath>

#include "design/layout.hpp"
#include "install_state/version_rules.hpp"
#include "support/codepage.hpp"
#include "wizard/frm_main.hpp"

std::int32_t RoundHalfEven(double value) { return static_cast<std::int32_t>(std::nearbyint(value)); }

void TileBitmap(ISurface& destDC, std::int32_t X, std::int32_t Y, std::int32_t W, std::int32_t H, ISurface& srcDC,
                std::int32_t srcW, std::int32_t srcH, std::int32_t srcX, std::int32_t srcY) {
  if (srcW < 1 || srcH < 1) return;
  if (srcX > srcW) srcX %= srcW;
  if (srcY > srcH) srcY %= srcH;
  std::int32_t rowSource = srcY;
  for (std::int32_t y = Y; y < Y + H;) {
    std::int32_t rowHeight = srcH - rowSource;
    if (y + rowHeight > Y + H) rowHeight = Y + H - y;
    std::int32_t columnSource = srcX;
    for (std::int32_t x = X; x < X + W;) {
      std::int32_t tileWidth = srcW - columnSource;
      if (x + tileWidth > X + W) tileWidth = X + W - x;
      destDC.BitBlt(x, y, tileWidth, rowHeight, srcDC, columnSource, rowSource, SRCCOPY);
      x += tileWidth;
      columnSource = 0;
    }
    y += rowHeight;
    rowSource = 0;
  }
}

std::string ShortenTextTo(const std::string& text, bool middle, std::int16_t width,
                          const std::function<double(const std::string&)>& measure) {
  const std::string s = TrimSpaces(text);
  if (s.empty()) return s;
  const std::u32string chars = Utf8ToCodePoints(s);
  const std::int32_t w = RoundHalfEven(measure(s));
  const std::int32_t average = w / static_cast<std::int32_t>(chars.size());
  // A text narrower than its number of characters has no usable average.
  if (w <= width || average <= 0) return s;
  const std::int32_t fit = std::max<std::int32_t>(0, width / average);
  if (middle) {
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(fit / 2), chars.size());
    return CodePointsToUtf8(chars.substr(0, n)) + "..." + CodePointsToUtf8(chars.substr(chars.size() - n));
  }
  return CodePointsToUtf8(chars.substr(0, static_cast<std::size_t>(fit))) + "...";
}

void frmMain::Form_Resize() {
  const TwipsRect band = C(Ctl::Picture1).Geometry();
  C(Ctl::frPicture).SetGeometry({-30, band.Height, platform_.window->WidthTwips(), 30});
}

void frmMain::DrawHeader(const std::string& title, std::int32_t size) {
  ISurface& band = platform_.window->Surface(Ctl::Picture1);
  ISurface& picture = platform_.window->Surface(Ctl::picBitmap);
  band.SetAutoRedraw(true);
  band.SetFontSize(size);
  band.Cls();
  band.SetForeColor(kHeaderTitleColor);
  TileBitmap(band, RoundHalfEven(band.ScaleLeft()), RoundHalfEven(band.ScaleTop()), RoundHalfEven(band.ScaleWidth()),
             RoundHalfEven(band.ScaleHeight()), picture, RoundHalfEven(picture.ScaleWidth()),
             RoundHalfEven(picture.ScaleHeight()), 0, 0);
  band.SetCurrentX(13);
  band.SetCurrentY(RoundHalfEven(band.ScaleHeight() - band.TextHeight(title)) / 2);
  band.Print(title);
}

void frmMain::ShowProgress(std::int32_t percent) {
  percent = std::clamp(percent, 0, 100);
  ISurface& bar = platform_.window->Surface(Ctl::picLoad);
  bar.SetAutoRedraw(true);
  bar.Cls();
  if (percent > 0) {
    const float scaleWidth = static_cast<float>(bar.ScaleWidth());
    // At 100 the bar is the whole width, whatever the float arithmetic gives.
    const float barWidth = percent == 100 ? scaleWidth : (scaleWidth / 100.0f) * static_cast<float>(percent);
    bar.FillBox(0, 0, barWidth, bar.ScaleHeight(), kProgressColor);
  }
  C(Ctl::lblLoad).SetCaption(std::to_string(percent));
  platform_.events->DoEvents();
}

std::string frmMain::ShortenText(const std::string& text, bool middle, std::int16_t width) {
  return ShortenTextTo(text, middle, width, [this](const std::string& s) { return platform_.window->TextWidth(s); });
}
