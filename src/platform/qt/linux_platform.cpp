#include "platform/qt/linux_platform.hpp"

LinuxPlatform::LinuxPlatform(const std::string& registryPath, PlatformOverrides overrides)
    : registry(registryPath),
      window(std::make_unique<QtMainWindow>(resources)),
      dialogs(std::make_unique<QtDialogFactory>(window.get(), resources)),
      overrides_(overrides) {
  messageBox.SetParent(window.get());
}

Platform LinuxPlatform::Services() { return WireServices(*this, overrides_); }
