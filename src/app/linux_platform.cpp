#include "app/linux_platform.hpp"

#include <QCoreApplication>

LinuxPlatform::LinuxPlatform(const std::string& registryPath)
    : registry(registryPath),
      window(std::make_unique<QtMainWindow>(resources)),
      dialogs(std::make_unique<QtDialogFactory>(window.get(), resources)),
      services(ServicesOf(*this)) {
  messageBox.SetParent(window.get());
  // Another program holding the registry's lock does not freeze the window:
  // it keeps painting and its timers and transfers keep running (the user's
  // clicks wait until the change is made or given up).
  registry.Store().SetWhileWaiting([] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10); });
}
