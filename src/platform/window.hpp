#pragma once
// The window system as the main window's procedures see it: named controls
// with caption, enabled, visible, focus and a place in twips; picture boxes
// that can be drawn on; timers; the window itself. The design geometry of
// every control is core data (wizard/layout.hpp), so the real window and the
// test fake put the same controls at the same places.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/system_services.hpp"

struct TwipsRect {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  bool operator==(const TwipsRect&) const = default;
};

// The controls of the main window.
enum class Ctl {
  Picture1,
  picBitmap,
  frPicture,
  frMain0,
  frMain2,
  frMain3,
  frMain4,
  Label1_0,
  Label1_2,
  Label1_3,
  Label1_4,
  picLoad,
  Label2_3,
  lblLoad,
  lblStatus0,
  lblStatus1,
  lblStatus2,
  lblStatus3,
  lblInfo0,
  lblInfo1,
  lblInfo2,
  lblInfo3,
  cmdLoad0,
  cmdLoad1,
  Frame1,
  frDivider,
  Cmd0,
  Cmd1,
  Cmd2,
  Count
};

// The indexes of the button arrays: Previous, Next and Cancel (Cmd), Stop
// and Retry (cmdLoad).
enum CmdIndex { CmdPrevious = 0, CmdNext = 1, CmdCancel = 2, CmdCount = 3 };
enum CmdLoadIndex { CmdLoadStop = 0, CmdLoadRetry = 1, CmdLoadCount = 2 };

// The members of a control array by index: Cmd(i), lblStatus(i),
// lblInfo(i), cmdLoad(i); Ctl::Count for an index outside the array.
constexpr Ctl IndexedControl(Ctl first, int index, int count) {
  if (index < 0 || index >= count) return Ctl::Count;
  return static_cast<Ctl>(static_cast<int>(first) + index);
}
constexpr Ctl Cmd(int index) { return IndexedControl(Ctl::Cmd0, index, CmdCount); }
constexpr Ctl lblStatus(int index) { return IndexedControl(Ctl::lblStatus0, index, 4); }
constexpr Ctl lblInfo(int index) { return IndexedControl(Ctl::lblInfo0, index, 4); }
constexpr Ctl cmdLoad(int index) { return IndexedControl(Ctl::cmdLoad0, index, CmdLoadCount); }

// What the window's events reach: the wizard's coordinator. Each runs to
// its end on the one thread.
class IMainWindowEvents {
 public:
  virtual ~IMainWindowEvents() = default;
  // Previous, Next, Cancel (CmdIndex).
  virtual void Cmd_Click(int Index) = 0;
  // Stop, Retry (CmdLoadIndex).
  virtual void cmdLoad_Click(int Index) = 0;
  virtual void tmrStatus_Timer() = 0;
  virtual void tmrDownload_Timer() = 0;
  // The window is about to close; cancel = 1 keeps it open. unloadMode 0
  // means the user closes it from the title bar or system menu.
  virtual void Form_QueryUnload(int& cancel, int unloadMode) = 0;
  virtual void Form_Unload() = 0;
  virtual void Form_Resize() = 0;
};

class IControl {
 public:
  virtual ~IControl() = default;
  virtual std::string Caption() const = 0;
  virtual void SetCaption(const std::string& caption) = 0;
  virtual bool Enabled() const = 0;
  virtual void SetEnabled(bool enabled) = 0;
  // The control's own visibility setting (not whether its parent shows).
  virtual bool Visible() const = 0;
  virtual void SetVisible(bool visible) = 0;
  // Gives the control the focus; raises RuntimeError 5 when it cannot take it.
  virtual void SetFocus() = 0;
  virtual bool HasFocus() const = 0;
  virtual void BringToFront() = 0;
  virtual TwipsRect Geometry() const = 0;
  virtual void SetGeometry(const TwipsRect& rect) = 0;
};

// A picture box's drawing surface. Coordinates are in the surface's scale
// (pixels for the header band and the hidden picture holder, twips for the
// progress bar).
class ISurface {
 public:
  virtual ~ISurface() = default;
  virtual void SetAutoRedraw(bool on) = 0;
  virtual void Cls() = 0;
  virtual void SetFontSize(int points) = 0;
  virtual void SetForeColor(std::uint32_t bgr) = 0;
  virtual double ScaleLeft() const = 0;
  virtual double ScaleTop() const = 0;
  virtual double ScaleWidth() const = 0;
  virtual double ScaleHeight() const = 0;
  virtual double TextWidth(const std::string& text) = 0;
  virtual double TextHeight(const std::string& text) = 0;
  virtual void SetCurrentX(double x) = 0;
  virtual void SetCurrentY(double y) = 0;
  // Prints text at the current position in the fore colour.
  virtual void Print(const std::string& text) = 0;
  // A filled box from (x1, y1) to (x2, y2) in colour bgr.
  virtual void FillBox(double x1, double y1, double x2, double y2, std::uint32_t bgr) = 0;
  // The picture the surface holds (the hidden picture holder takes its size).
  virtual void SetPicture(std::shared_ptr<Picture> picture) = 0;
  // Copies a w x h block from src at (sx, sy) to (x, y) here (SRCCOPY).
  virtual bool BitBlt(int x, int y, int w, int h, ISurface& src, int sx, int sy, std::uint32_t rop) = 0;
};

class ITimer {
 public:
  virtual ~ITimer() = default;
  virtual void SetInterval(int milliseconds) = 0;
  virtual int Interval() const = 0;
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool Enabled() const = 0;
};

enum class TimerId { tmrStatus, tmrDownload };

class IMainWindowView {
 public:
  virtual ~IMainWindowView() = default;
  virtual IControl& Control(Ctl id) = 0;
  virtual ISurface& Surface(Ctl id) = 0;  // Picture1, picBitmap or picLoad
  virtual ITimer& Timer(TimerId id) = 0;
  virtual void SetCaption(const std::string& caption) = 0;
  // The window icon from the resource of that name.
  virtual void SetIcon(const std::string& resourceName) = 0;
  // Width of a text in the window's font, in twips.
  virtual double TextWidth(const std::string& text) = 0;
  // Outer width of the window in twips.
  virtual int WidthTwips() const = 0;
  // Closes the window from code: no question is asked, and the program ends.
  virtual void Unload() = 0;
};

// The controls of the download-error dialog.
enum class ErrCtl { Image1, Label1, Label2, Label3, Cmd, Count };

class IErrorDialogView {
 public:
  virtual ~IErrorDialogView() = default;
  virtual IControl& Control(ErrCtl id) = 0;
  virtual void SetCaption(const std::string& caption) = 0;
  // The main window's icon.
  virtual void UseMainIcon() = 0;
  // Image1 shows the bitmap resource of that name.
  virtual void SetImage(const std::string& resourceName) = 0;
  // Width of a text in the dialog's font, in twips.
  virtual double TextWidth(const std::string& text) = 0;
  virtual int OuterHeight() const = 0;  // twips, frame and title bar included
  virtual int InnerHeight() const = 0;  // twips
  virtual void SetOuterHeight(int twips) = 0;
  // Shows the dialog modally; returns when it has been closed.
  virtual void ShowModal() = 0;
  // Closes it (its OK button).
  virtual void Unload() = 0;
};

class IDialogFactory {
 public:
  virtual ~IDialogFactory() = default;
  virtual std::unique_ptr<IErrorDialogView> CreateErrorDialog() = 0;
};
