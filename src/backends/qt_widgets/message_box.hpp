#pragma once
// Message boxes on QMessageBox.
#include <string>

#include "platform/message_box.hpp"

class QWidget;

class QtMessageBox : public IMessageBox {
 public:
  // parent may change as windows come and go; boxes are modal to it.
  void SetParent(QWidget* parent) { parent_ = parent; }
  int MsgBox(const std::string& prompt, int buttons, const std::string& title) override;

 private:
  QWidget* parent_ = nullptr;
};
