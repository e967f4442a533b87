#pragma once
// The window system as the main window's procedures see it: named controls
// with caption, enabled, visible, focus and a place in twips; picture boxes
// that can be drawn on; timers; the window itself. The design geometry of
// every control is core data (design/layout.hpp), so the real window and the
// test fake put the same controls at the same places.
#include <string>

#include "platform/control.hpp"
#include "platform/surface.hpp"
#include "platform/timer.hpp"

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
