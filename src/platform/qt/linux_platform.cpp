#include "platform/qt/linux_platform.hpp"

LinuxPlatform::LinuxPlatform(const std::string& registryPath, PlatformOverrides overrides)
    : registry(registryPath),
      window(std::make_unique<QtMainWindow>(resources)),
      dialogs(std::make_unique<QtDialogFactory>(window.get(), resources)),
      overrides_(overrides) {
  messageBox.SetParent(window.get());
}

Platform LinuxPlatform::Services() {
  return WithOverrides(Platform{.registry = registry,
                                .environment = environment,
                                .files = files,
                                .guid = guid,
                                .messageBox = messageBox,
                                .process = process,
                                .resources = resources,
                                .pictures = pictures,
                                .messages = messages,
                                .profiles = profiles,
                                .events = events,
                                .window = *window,
                                .dialogs = *dialogs,
                                .shell = shell,
                                .connection = connection,
                                .reader = reader,
                                .clock = clock},
                       overrides_);
}
