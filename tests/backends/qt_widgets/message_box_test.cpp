// The real message box: a question ends only by one of its buttons.
#include "backends/qt_widgets/message_box.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "platform/message_box.hpp"

namespace {
// Escape and the title bar's close leave a Yes/No box open, as the system's
// own question boxes do; No stays the default when the caller asks for it.
TEST(QtMessageBoxTest, EscapeAndCloseDoNotAnswerAQuestion) {
  QtMessageBox boxes;
  bool openAfterEscapeAndClose = false;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) {
      ADD_FAILURE() << "no message box is shown";
      QCoreApplication::exit(1);  // ends the box's loop too
      return;
    }
    EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
    QTest::keyClick(box, Qt::Key_Escape);
    box->close();
    QApplication::processEvents();
    openAfterEscapeAndClose = box->isVisible();
    box->button(QMessageBox::Yes)->click();
  });
  EXPECT_EQ(boxes.MsgBox("Are you sure?", Mb::YesNo | Mb::Question | Mb::DefaultButton2, "Larkspire AutoUpdate"),
            Mb::Yes);
  EXPECT_TRUE(openAfterEscapeAndClose);
}
}  // namespace
