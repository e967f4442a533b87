#pragma once
// The real main window of the Windows program: a fixed-size dialog-style
// window of standard child controls at the design's twips, converted at the
// screen's DPI, with the keyboard handling of a dialog (Tab, access keys,
// Enter for Next, Escape for Cancel).
#include <array>
#include <cstdint>
#include <memory>

#include "backends/win32/handles.hpp"
#include "backends/win32/prelude.hpp"
#include "backends/win32/window/control.hpp"
#include "backends/win32/window/picture_box.hpp"
#include "platform/main_window_view.hpp"

// A window timer on SetTimer; its ticks arrive as WM_TIMER.
class Win32Timer : public ITimer {
 public:
  Win32Timer(HWND hwnd, UINT_PTR id) : hwnd_(hwnd), id_(id) {}
  void SetInterval(int milliseconds) override;
  int Interval() const override { return interval_; }
  void SetEnabled(bool enabled) override;
  bool Enabled() const override { return enabled_; }

 private:
  HWND hwnd_;
  UINT_PTR id_;
  int interval_ = 0;
  bool enabled_ = false;
};

class Win32MainWindow : public IMainWindowView {
 public:
  // The number of the error the constructor raises when the system makes
  // no window (no desktop to open it on).
  static constexpr std::int32_t kNotMade = 7;

  // Its icon and pictures come from the program's resource script. Raises
  // RuntimeError kNotMade when the window cannot be made.
  Win32MainWindow();
  ~Win32MainWindow() override;
  Win32MainWindow(const Win32MainWindow&) = delete;
  Win32MainWindow& operator=(const Win32MainWindow&) = delete;

  // Routes the window's events to the form's handlers.
  void Attach(IMainWindowEvents* form) { form_ = form; }
  // Whether Unload also ends the program's message loop (the real program).
  void SetQuitOnUnload(bool quit) { quitOnUnload_ = quit; }
  bool Unloaded() const { return unloaded_; }
  HWND Handle() const { return hwnd_; }
  // Centres the window on the work area and shows it, Next in the focus.
  void Show();

  IControl& Control(Ctl id) override;
  ISurface& Surface(Ctl id) override;
  ITimer& Timer(TimerId id) override;
  void SetCaption(const std::string& caption) override;
  void SetIcon(const std::string& resourceName) override;
  double TextWidth(const std::string& text) override;
  int WidthTwips() const override;
  void Unload() override;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Message(UINT message, WPARAM wParam, LPARAM lParam);
  void MakeControls();
  HWND HandleOf(Ctl id) const;
  void Clicked(int controlId);
  // Closes the window; asks the form first when the user closes it.
  void Close(bool byUser);
  // Gives the keyboard back to the control that owns it (kKeyboardOwner),
  // or to the page's default button when that one cannot take it.
  void GiveBackKeyboard();

  IMainWindowEvents* form_ = nullptr;
  double pxPerTwip_;
  HWND hwnd_ = nullptr;
  UniqueIcon icons_[2];  // destroyed after the window that shows them
  std::array<std::unique_ptr<Win32PictureBox>, static_cast<std::size_t>(Ctl::Count)> boxes_;
  std::array<std::unique_ptr<Win32Control>, static_cast<std::size_t>(Ctl::Count)> controls_;
  std::unique_ptr<Win32Timer> timers_[2];
  bool unloaded_ = false;
  bool quitOnUnload_ = false;
};
