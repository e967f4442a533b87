// The wizard program: wires the Linux and Qt backends, builds the main
// window and runs the event loop.
#include <QApplication>
#include <QDialog>
#include <QIcon>
#include <QPixmap>

#include "platform/posix/file_hive_store.hpp"
#include "platform/posix/posix_services.hpp"
#include "platform/qt/qt_services.hpp"
#include "platform/resources.hpp"
#include "support/runtime_error.hpp"
#include "wizard/frm_main.hpp"

int main(int argc, char** argv) {
  QApplication app(argc, argv);

  FileRegistryApi registry;
  PosixEnvironment environment;
  PosixFileSystem files;
  PosixGuidSource guid;
  QtMessageBox messageBox;
  PosixProcessControl process;
  EmbeddedResources resources;
  QtPictureService pictures;
  QtWindowMessages messages;
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

  frmMain form(platform, LARKSPIRE_UPDATE_HOST);
  QDialog window;
  window.setWindowTitle(AppTitle);
  if (auto icon = resources.LoadResource("rid_icon", "ICON")) {
    QPixmap pixmap;
    pixmap.loadFromData(icon->data(), static_cast<uint>(icon->size()));
    window.setWindowIcon(QIcon(pixmap));
  }
  messageBox.SetParent(&window);
  try {
    form.ReadInstalledState();
  } catch (const RuntimeError& e) {
    messageBox.MsgBox("Error " + std::to_string(e.Number()) + ": " + e.Description(), Mb::Critical,
                      std::string(AppTitle) + " - Error");
    return 1;
  }
  form.LoadResourcePicture("rid_bitmap");
  // 7515 x 5625 twips at 15 twips a pixel.
  window.setFixedSize(501, 375);
  window.show();
  return app.exec();
}
