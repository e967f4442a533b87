#include "fakes/fake_platform.hpp"

#include <QPushButton>

FakePlatform::FakePlatform()
    : services{.registry = &registry,
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
  dialogs->onShown = [this](QtErrorDialog& d) {
    errorDialogs.push_back(d.Control(ErrCtl::Label2).Caption());
    static_cast<QPushButton*>(d.WidgetOf(ErrCtl::Cmd))->click();  // OK
  };
}
