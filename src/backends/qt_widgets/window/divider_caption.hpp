#pragma once
// The caption of the button row's frame: its text sits on the divider line,
// with the window's background behind the text only.
#include <QString>
#include <QWidget>

class DividerCaption : public QWidget {
 public:
  explicit DividerCaption(QWidget* parent) : QWidget(parent) {}
  void SetText(const QString& text);

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  QString text_;
};
