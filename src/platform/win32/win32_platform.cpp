#include "platform/win32/win32_platform.hpp"

Platform Win32Platform::Services() {
  return WithOverrides(Platform{.registry = registry,
                                .environment = environment,
                                .files = files,
                                .guid = guid,
                                .messageBox = frontEnd_.messageBox,
                                .process = frontEnd_.process,
                                .resources = resources,
                                .pictures = frontEnd_.pictures,
                                .messages = messages,
                                .profiles = profiles,
                                .events = frontEnd_.events,
                                .window = frontEnd_.window,
                                .dialogs = frontEnd_.dialogs,
                                .shell = shell,
                                .connection = connection,
                                .reader = frontEnd_.reader,
                                .clock = frontEnd_.clock},
                       overrides_);
}
