#pragma once
// The main window's design: every control's kind, parent, place in twips
// and first caption. The real window and the test fake both build from it.
#include <array>
#include <string>

#include "platform/control.hpp"
#include "platform/error_dialog_view.hpp"
#include "platform/main_window_view.hpp"
#include "platform/picture_service.hpp"

enum class CtlKind { Picture, Frame, Line, Label, Button, Caption };

struct ControlDesign {
  Ctl id;
  const char* name;  // as the design names it, e.g. "Cmd(1)"
  CtlKind kind;
  Ctl parent;      // Ctl::Count for the window itself
  TwipsRect rect;  // relative to the parent
  const char* caption;
};

// Client area of the main window, in twips.
inline constexpr int kFormWidthTwips = 7515;
inline constexpr int kFormHeightTwips = 5625;

const std::array<ControlDesign, static_cast<std::size_t>(Ctl::Count)>& MainWindowDesign();
const ControlDesign& DesignOf(Ctl id);

// The page frame with that index (0, 2, 3 or 4); Ctl::Count for others.
Ctl PageFrame(int index);

// The download-error dialog's design.
struct ErrorDialogDesign {
  ErrCtl id;
  CtlKind kind;
  TwipsRect rect;
};
inline constexpr int kErrorDialogInnerWidth = 5505;
inline constexpr int kErrorDialogInnerHeight = 3225;
const std::array<ErrorDialogDesign, static_cast<std::size_t>(ErrCtl::Count)>& ErrorDialogLayout();
