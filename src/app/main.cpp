// The wizard program: wires the Linux and Qt backends, builds the main
// window and runs the event loop.
#include <QApplication>

#include "platform/common/profile_file_reader.hpp"
#include "platform/posix/file_hive_store.hpp"
#include "platform/posix/net_state.hpp"
#include "platform/posix/posix_services.hpp"
#include "platform/qt/qt_async_read.hpp"
#include "platform/qt/qt_main_window.hpp"
#include "platform/qt/qt_services.hpp"
#include "platform/resources.hpp"
#include "wizard/frm_main.hpp"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("larkspire-autoupdate");
  QApplication::setDesktopFileName("larkspire-autoupdate");

  FileRegistryApi registry;
  PosixEnvironment environment;
  PosixFileSystem files;
  PosixGuidSource guid;
  QtMessageBox messageBox;
  PosixProcessControl process;
  EmbeddedResources resources;
  QtPictureService pictures;
  QtWindowMessages messages;
  QtEventLoop events;
  PosixShell shell;
  PosixConnectionService connection;
  QtAsyncReadService reader;
  PosixClock clock;
  ProfileFileReader profiles(files);
  QtMainWindow window(resources);
  QtDialogFactory dialogs(&window, resources);
  messageBox.SetParent(&window);

  Platform platform;
  platform.registry = &registry;
  platform.environment = &environment;
  platform.files = &files;
  platform.guid = &guid;
  platform.messageBox = &messageBox;
  platform.process = &process;
  platform.resources = &resources;
  platform.pictures = &pictures;
  platform.messages = &messages;
  platform.events = &events;
  platform.window = &window;
  platform.dialogs = &dialogs;
  platform.shell = &shell;
  platform.connection = &connection;
  platform.reader = &reader;
  platform.clock = &clock;
  platform.profiles = &profiles;

  frmMain form(platform, LARKSPIRE_UPDATE_HOST);
  window.Attach(&form);
  window.SetQuitOnUnload(true);
  form.Form_Load();
  if (window.Unloaded()) return 0;
  window.CentreOnScreen();
  window.show();
  return app.exec();
}
