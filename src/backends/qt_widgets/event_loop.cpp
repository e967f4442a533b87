#include "backends/qt_widgets/event_loop.hpp"

#include <QApplication>
#include <QThread>

void QtEventLoop::DoEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void QtEventLoop::Sleep(std::uint32_t milliseconds) { QThread::msleep(milliseconds); }

void QtEventLoop::SetBusyPointer(bool busy) {
  if (busy && !busy_) QApplication::setOverrideCursor(Qt::WaitCursor);
  if (!busy && busy_) QApplication::restoreOverrideCursor();
  busy_ = busy;
}
