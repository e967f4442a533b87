#include "backends/qt_widgets/window/timer.hpp"

QtTimer::QtTimer() {
  QObject::connect(&timer_, &QTimer::timeout, [this] {
    if (handler_) handler_();
  });
}

void QtTimer::SetEnabled(bool enabled) {
  if (enabled)
    timer_.start();
  else
    timer_.stop();
}
