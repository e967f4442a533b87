#include "backends/qt_widgets/message_box.hpp"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>

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
  // The prompt's CR LF breaks the line as before; a screen reader gets the
  // title as the box's name and the prompt, on one line, as its description.
  const QString text = QString::fromStdString(prompt).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  box.setText(text);
  box.setAccessibleName(QString::fromStdString(title));
  box.setAccessibleDescription(QString(text).replace(QLatin1Char('\n'), QLatin1Char(' ')).simplified());
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
