#include "backends/qt_widgets/picture_service.hpp"

#include "backends/posix/file_system.hpp"
#include "support/runtime_error.hpp"

std::shared_ptr<Picture> QtPictureService::LoadPicture(const std::string& path) {
  QImage image;
  const std::string native = PosixFileSystem::ToNative(path);
  if (native.empty() || !image.load(QString::fromStdString(native))) throw RuntimeError(481, "Invalid picture");
  return std::make_shared<QtPicture>(std::move(image));
}
