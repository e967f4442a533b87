#pragma once
// Picture decoding with Qt's image readers.
#include <QImage>
#include <memory>
#include <string>

#include "platform/picture_service.hpp"

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
