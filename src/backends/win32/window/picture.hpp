#pragma once
// Pictures decoded by the system's imaging component (JPEG, PNG, BMP, GIF),
// held as 32-bit device-independent bitmaps the windows draw from.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "backends/win32/handles.hpp"
#include "platform/picture_service.hpp"

class Win32Picture : public Picture {
 public:
  Win32Picture(UniqueBitmap bitmap, int width, int height)
      : bitmap_(std::move(bitmap)), width_(width), height_(height) {}
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  HBITMAP Bitmap() const { return bitmap_.Get(); }

 private:
  UniqueBitmap bitmap_;
  int width_, height_;
};

// The picture in those bytes, or nullptr when they hold none the system
// can read. Needs COM on the calling thread. Never raises.
std::shared_ptr<Win32Picture> DecodePicture(const std::vector<std::uint8_t>& bytes);

class Win32PictureService : public IPictureService {
 public:
  std::shared_ptr<Picture> LoadPicture(const std::string& path) override;
};
