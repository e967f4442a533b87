#include "backends/qt_widgets/picture_service.hpp"

#include <QFile>
#include <QImageReader>
#include <string_view>

#include "backends/posix/file_system.hpp"
#include "support/runtime_error.hpp"

namespace {
// The reader's name for the format these first bytes announce, "" for one
// not listed: the formats the program's own pictures come in, and those a
// picture file given to LoadPicture is most likely in.
QByteArray FormatAnnounced(const QByteArray& head) {
  using namespace std::string_view_literals;
  static constexpr std::pair<std::string_view, const char*> kSignatures[] = {
      {"\x89PNG\r\n\x1A\n"sv, "png"}, {"\xFF\xD8\xFF"sv, "jpeg"}, {"BM"sv, "bmp"}, {"GIF8"sv, "gif"},
      {"\0\0\1\0"sv, "ico"},          {"\0\0\2\0"sv, "cur"}};
  const std::string_view bytes(head.constData(), static_cast<std::size_t>(head.size()));
  for (const auto& [signature, format] : kSignatures)
    if (bytes.starts_with(signature)) return format;
  return {};
}
}  // namespace

QImage ReadPicture(QIODevice& device) {
  const QByteArray format = FormatAnnounced(device.peek(8));
  QImageReader reader(&device, format);
  // With its format named, the reader loads only the plug-in of that name
  // (none for the formats Qt reads itself).
  reader.setAutoDetectImageFormat(format.isEmpty());
  return reader.read();
}

std::shared_ptr<Picture> QtPictureService::LoadPicture(const std::string& path) {
  const std::string native = PosixFileSystem::ToNative(path);
  QFile file(QString::fromStdString(native));
  QImage image;
  if (native.empty() || !file.open(QIODevice::ReadOnly) || (image = ReadPicture(file)).isNull())
    throw RuntimeError(481, "Invalid picture");
  return std::make_shared<QtPicture>(std::move(image));
}
