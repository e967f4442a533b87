#pragma once
// Pictures decoded by the system's imaging component (JPEG, PNG, BMP, GIF),
// held as 32-bit device-independent bitmaps the windows draw from.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "backends/win32/prelude.hpp"
#include "platform/picture_service.hpp"

class Win32Picture : public Picture {
 public:
  Win32Picture(HBITMAP bitmap, int width, int height) : bitmap_(bitmap), width_(width), height_(height) {}
  ~Win32Picture() override { DeleteObject(bitmap_); }
  Win32Picture(const Win32Picture&) = delete;
  Win32Picture& operator=(const Win32Picture&) = delete;
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  HBITMAP Bitmap() const { return bitmap_; }

 private:
  HBITMAP bitmap_;
  int width_, height_;
};

// The picture in those bytes, or nullptr when they hold none the system
// can read. Needs COM on the calling thread. Never raises.
std::shared_ptr<Win32Picture> DecodePicture(const std::vector<std::uint8_t>& bytes);

class Win32PictureService : public IPictureService {
 public:
  std::shared_ptr<Picture> LoadPicture(const std::string& path) override;
};
