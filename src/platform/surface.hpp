#pragma once
// A picture box's drawing surface.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/picture_service.hpp"

// A picture box's drawing surface. Coordinates are in the surface's scale
// (pixels for the header band and the hidden picture holder, twips for the
// progress bar).
class ISurface {
 public:
  virtual ~ISurface() = default;
  virtual void SetAutoRedraw(bool on) = 0;
  virtual void Cls() = 0;
  virtual void SetFontSize(int points) = 0;
  virtual void SetForeColor(std::uint32_t bgr) = 0;
  virtual double ScaleLeft() const = 0;
  virtual double ScaleTop() const = 0;
  virtual double ScaleWidth() const = 0;
  virtual double ScaleHeight() const = 0;
  virtual double TextWidth(const std::string& text) = 0;
  virtual double TextHeight(const std::string& text) = 0;
  virtual void SetCurrentX(double x) = 0;
  virtual void SetCurrentY(double y) = 0;
  // Prints text at the current position in the fore colour.
  virtual void Print(const std::string& text) = 0;
  // A filled box from (x1, y1) to (x2, y2) in colour bgr.
  virtual void FillBox(double x1, double y1, double x2, double y2, std::uint32_t bgr) = 0;
  // The picture the surface holds (the hidden picture holder takes its size).
  virtual void SetPicture(std::shared_ptr<Picture> picture) = 0;
  // Copies a w x h block from src at (sx, sy) to (x, y) here (SRCCOPY).
  virtual bool BitBlt(int x, int y, int w, int h, ISurface& src, int sx, int sy, std::uint32_t rop) = 0;
};
