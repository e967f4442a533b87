#include "app/linux_platform.hpp"

LinuxPlatform::LinuxPlatform(const std::string& registryPath)
    : registry(registryPath),
      window(std::make_unique<QtMainWindow>(resources)),
      dialogs(std::make_unique<QtDialogFactory>(window.get(), resources)),
      services{.registry = &registry,
               .environment = &environment,
               .files = &files,
               .guid = &guid,
               .messageBox = &messageBox,
               .process = &process,
               .resources = &resources,
               .pictures = &pictures,
               .messages = &messages,
               .profiles = &profiles,
               .events = &events,
               .window = window.get(),
               .dialogs = dialogs.get(),
               .shell = &shell,
               .connection = &connection,
               .reader = &reader,
               .clock = &clock} {
  messageBox.SetParent(window.get());
}
