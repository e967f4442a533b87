#include "app/linux_platform.hpp"

LinuxPlatform::LinuxPlatform(const std::string& registryPath)
    : registry(registryPath),
      window(std::make_unique<QtMainWindow>(resources)),
      dialogs(std::make_unique<QtDialogFactory>(window.get(), resources)),
      services(ServicesOf(*this)) {
  messageBox.SetParent(window.get());
}
