#pragma once
// The start-up benchmark's probe: the program ends the moment its window
// has been painted for the first time, so the wall time of the whole process
// is its start-up to first paint. Built into the benchmark's copies of the
// programs only (scripts/bench-startup).
#include <unistd.h>

#include <QEvent>
#include <QMetaObject>
#include <QObject>
#include <QWidget>

class ExitAtFirstPaint : public QObject {
 public:
  explicit ExitAtFirstPaint(QWidget& window) { window.installEventFilter(this); }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    // The paint runs once this returns; the exit is queued behind it, and
    // skips the teardown, which is not start-up.
    if (event->type() == QEvent::Paint)
      QMetaObject::invokeMethod(
          this, [] { _exit(0); }, Qt::QueuedConnection);
    return false;
  }
};
