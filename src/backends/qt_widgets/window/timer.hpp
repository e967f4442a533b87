#pragma once
#include <QTimer>
#include <functional>

#include "platform/timer.hpp"

// A window timer on QTimer; its ticks go to the handler set.
class QtTimer : public ITimer {
 public:
  QtTimer();
  void SetInterval(int ms) override { timer_.setInterval(ms); }
  int Interval() const override { return timer_.interval(); }
  void SetEnabled(bool enabled) override;
  bool Enabled() const override { return timer_.isActive(); }
  void OnTick(std::function<void()> handler) { handler_ = std::move(handler); }

 private:
  QTimer timer_;
  std::function<void()> handler_;
};
