#pragma once
// Picture decoding with Qt's image readers.
#include <QIODevice>
#include <QImage>
#include <memory>
#include <string>

#include "platform/picture_service.hpp"

// The picture the device holds from its current position, a null image when
// it holds none or one larger than Qt's allocation limit. The device must be
// open for reading. Its first bytes name the reader: asked to find one itself,
// Qt loads every image plug-in installed (a score of libraries on a desktop
// with the extra and KDE formats) to ask each whether the bytes are its own.
// A format not named by its first bytes here is still found that way. Safe
// on any thread.
QImage ReadPicture(QIODevice& device);

class QtPicture : public Picture {
 public:
  explicit QtPicture(QImage image) : image_(std::move(image)) {}
  int Width() const override { return image_.width(); }
  int Height() const override { return image_.height(); }
  const QImage& Image() const { return image_; }

 private:
  QImage image_;
};

class QtPictureService : public IPictureService {
 public:
  std::shared_ptr<Picture> LoadPicture(const std::string& path) override;
};
