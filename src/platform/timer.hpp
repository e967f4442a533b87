#pragma once
// A window timer.

class ITimer {
 public:
  virtual ~ITimer() = default;
  virtual void SetInterval(int milliseconds) = 0;
  virtual int Interval() const = 0;
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool Enabled() const = 0;
};

enum class TimerId { tmrStatus, tmrDownload };
