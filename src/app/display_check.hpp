#pragma once
// Whether the window system named in the environment can be reached, asked
// before Qt is: Qt aborts (status 134, "Reinstalling the application may
// fix this problem") when the display it picks cannot be opened, so a stale
// DISPLAY over ssh, or a WAYLAND_DISPLAY without Qt's Wayland plugin, would
// end the wizard without a word of ours.
#include <string>

struct DisplayChoice {
  // The value for QT_QPA_PLATFORM ("" to leave Qt's own choice alone).
  std::string platform;
  // Why no display can be used, naming each one tried; "" when one can.
  std::string problem;
};

// Looks at DISPLAY and WAYLAND_DISPLAY (a platform chosen by the user with
// QT_QPA_PLATFORM or -platform is left alone): an X11 display whose socket
// accepts a connection, a Wayland display whose socket does and whose Qt
// plugin is installed. Never raises.
DisplayChoice ChooseDisplay(bool platformGiven);
