// The reference of the start-up benchmark: a Qt Widgets hello-world, built
// with the program's own flags, that ends at its first paint.
#include <QApplication>
#include <QLabel>

#include "first_paint_probe.hpp"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QLabel hello("Hello, world");
  hello.resize(320, 80);
  const ExitAtFirstPaint probe(hello);
  hello.show();
  return app.exec();
}
