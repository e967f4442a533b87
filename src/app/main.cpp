// The wizard program: wires the Linux and Qt backends, builds the main
// window and runs the event loop.
#include <QApplication>

#include "platform/qt/linux_platform.hpp"
#include "wizard/frm_main.hpp"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("larkspire-autoupdate");
  QApplication::setDesktopFileName("larkspire-autoupdate");

  LinuxPlatform platform;
  frmMain form(platform.Services(), LARKSPIRE_UPDATE_HOST);
  QtMainWindow& window = *platform.window;
  window.Attach(&form);
  window.SetQuitOnUnload(true);
  form.Form_Load();
  if (window.Unloaded()) return 0;
  window.CentreOnScreen();
  window.show();
  return app.exec();
}
