#pragma once
// One desktop notification through the desktop's notification service
// (org.freedesktop.Notifications on the session bus), with an action, and
// the wait for the user to take it. Without a session bus or a service on
// it nothing is shown and the caller is told why.
#include <QObject>
#include <QString>
#include <string>

class DesktopNotification : public QObject {
  Q_OBJECT

 public:
  // Shows summary and body from the program named icon, with one action
  // labelled actionLabel (also the notification's default action, taken by
  // a click on it). False, with why, when it cannot be shown. Never raises.
  bool Show(const QString& summary, const QString& body, const QString& actionLabel, std::string& why);
  // Runs the event loop until the user takes the action (true), closes the
  // notification, or waitMs pass (false). Never raises.
  bool WaitForAction(int waitMs);

 signals:
  // The user took the action or closed the notification.
  void Ended();

 private slots:
  void ActionInvoked(uint id, const QString& action);
  void NotificationClosed(uint id, uint reason);

 private:
  uint id_ = 0;
  bool acted_ = false;
  bool ended_ = false;
};
