#include "backends/qt_widgets/window/design.hpp"

#include <QApplication>
#include <QBuffer>
#include <QGuiApplication>
#include <QScreen>

#include "backends/qt_widgets/picture_service.hpp"

double PixelsPerTwip() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const double dpi = screen ? screen->logicalDotsPerInchX() : 96.0;
  return (dpi > 0 ? dpi : 96.0) / 1440.0;
}

QString ToDisplay(const std::string& text) {
  QString s = QString::fromStdString(text);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return s;
}

QFont DesignFont() {
  QFont f = QApplication::font();
  // A sans face of the classic dialog font's narrow proportions, where present.
  f.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), f.family()});
  f.setPointSize(8);
  return f;
}

QColor FromBgr(std::uint32_t bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

QPixmap ResourcePixmap(IResources& resources, const std::string& name, const std::string& type) {
  const auto bytes = resources.LoadResource(name, type);
  if (!bytes) return {};
  QByteArray data =
      QByteArray::fromRawData(reinterpret_cast<const char*>(bytes->data()), static_cast<qsizetype>(bytes->size()));
  QBuffer buffer(&data);
  buffer.open(QIODevice::ReadOnly);
  return QPixmap::fromImage(ReadPicture(buffer));
}
