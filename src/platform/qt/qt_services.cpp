#include "platform/qt/qt_services.hpp"

#include <QCloseEvent>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>

#include "platform/file_system.hpp"
#include "platform/posix/posix_services.hpp"
#include "support/diagnostics.hpp"
#include "support/runtime_error.hpp"

std::shared_ptr<Picture> QtPictureService::LoadPicture(const std::string& path) {
  QImage image;
  const std::string native = PosixFileSystem::ToNative(path);
  if (native.empty() || !image.load(QString::fromStdString(native))) throw RuntimeError(481, "Invalid picture");
  return std::make_shared<QtPicture>(std::move(image));
}

namespace {
// A question must be answered: like the system's own Yes/No boxes, Escape
// and the title bar's close do nothing (a plain QMessageBox takes either as
// No). Only a click on, or the keys of, one of the buttons ends it.
class QuestionBox : public QMessageBox {
 public:
  using QMessageBox::QMessageBox;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->matches(QKeySequence::Cancel)) {
      event->accept();
      return;
    }
    QMessageBox::keyPressEvent(event);
  }
  void closeEvent(QCloseEvent* event) override {
    if (!clickedButton()) {
      event->ignore();
      return;
    }
    QMessageBox::closeEvent(event);
  }
};
}  // namespace

int QtMessageBox::MsgBox(const std::string& prompt, int buttons, const std::string& title) {
  const bool question = (buttons & Mb::ButtonsMask) == Mb::YesNo;
  std::unique_ptr<QMessageBox> owned =
      question ? std::make_unique<QuestionBox>(parent_) : std::make_unique<QMessageBox>(parent_);
  QMessageBox& box = *owned;
  box.setWindowTitle(QString::fromStdString(title));
  box.setText(QString::fromStdString(prompt));
  switch (buttons & Mb::IconMask) {
    case Mb::Critical:
      box.setIcon(QMessageBox::Critical);
      break;
    case Mb::Question:
      box.setIcon(QMessageBox::Question);
      break;
    case Mb::Exclamation:
      box.setIcon(QMessageBox::Warning);
      break;
    case Mb::Information:
      box.setIcon(QMessageBox::Information);
      break;
    default:
      break;
  }
  if (question) {
    QPushButton* yes = box.addButton(QMessageBox::Yes);
    QPushButton* no = box.addButton(QMessageBox::No);
    box.setDefaultButton((buttons & Mb::DefaultMask) == Mb::DefaultButton2 ? no : yes);
    box.exec();
    return box.clickedButton() == yes ? Mb::Yes : Mb::No;
  }
  box.addButton(QMessageBox::Ok);
  box.exec();
  return Mb::Ok;
}

std::uint32_t QtWindowMessages::RegisterWindowMessage(const std::string& name) {
  return name.empty() ? 0 : StableMessageId(name);
}

bool QtWindowMessages::BroadcastNotifyMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    // Without a session bus (ssh, sudo, a minimal session) no program of
    // the product can be listening: there is nobody to tell.
    LogFailure(LogArea::Broadcast, "no D-Bus session bus (" + bus.lastError().message().toStdString() +
                                       "): no running Larkspire program can be told to close");
    return true;
  }
  QDBusMessage signal = QDBusMessage::createSignal(kBroadcastPath, kBroadcastInterface, kBroadcastMember);
  signal << static_cast<uint>(msg) << static_cast<qulonglong>(wParam) << static_cast<qlonglong>(lParam);
  if (bus.send(signal)) return true;
  LogFailure(LogArea::Broadcast, "the broadcast on the session bus failed: " + bus.lastError().message().toStdString());
  return false;
}
