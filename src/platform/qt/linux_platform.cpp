#include "platform/qt/linux_platform.hpp"

LinuxPlatform::LinuxPlatform(const std::string& registryPath)
    : registry(registryPath),
      window(std::make_unique<QtMainWindow>(resources)),
      dialogs(std::make_unique<QtDialogFactory>(window.get(), resources)) {
  messageBox.SetParent(window.get());
}

Platform LinuxPlatform::Services() {
  Platform p;
  p.registry = &registry;
  p.environment = &environment;
  p.files = &files;
  p.guid = &guid;
  p.messageBox = &messageBox;
  p.process = &process;
  p.resources = &resources;
  p.pictures = &pictures;
  p.messages = &messages;
  p.profiles = &profiles;
  p.events = &events;
  p.window = window.get();
  p.dialogs = dialogs.get();
  p.shell = &shell;
  p.connection = &connection;
  p.reader = &reader;
  p.clock = &clock;
  return p;
}
