#pragma once
// Picture decoding.
#include <memory>
#include <string>

// A decoded picture; the front end keeps its own image behind it.
class Picture {
 public:
  virtual ~Picture() = default;
  virtual int Width() const = 0;   // pixels
  virtual int Height() const = 0;  // pixels
};

class IPictureService {
 public:
  virtual ~IPictureService() = default;
  // Decodes the picture in a file. Raises RuntimeError 481 when it is not one.
  virtual std::shared_ptr<Picture> LoadPicture(const std::string& path) = 0;
};
