#pragma once
// Every service the program's behaviour uses, gathered for the main window.
// A composition root (the Linux program, the Windows program, the tests'
// fakes) fills every member once; a caller may then put a service of its own
// in a member's place (a scripted message box, a recorded end of the
// program) before it hands the platform on. The program never asks whether
// a service is missing.
#include "platform/async_read_service.hpp"
#include "platform/clock.hpp"
#include "platform/connection.hpp"
#include "platform/dialog_factory.hpp"
#include "platform/environment.hpp"
#include "platform/event_loop.hpp"
#include "platform/file_system.hpp"
#include "platform/guid_source.hpp"
#include "platform/main_window_view.hpp"
#include "platform/message_box.hpp"
#include "platform/picture_service.hpp"
#include "platform/process_control.hpp"
#include "platform/profile_reader.hpp"
#include "platform/registry_api.hpp"
#include "platform/resources.hpp"
#include "platform/shell.hpp"
#include "platform/signature_verifier.hpp"
#include "platform/window_messages.hpp"

struct Platform {
  IRegistryApi* registry = nullptr;
  IEnvironment* environment = nullptr;
  IFileSystem* files = nullptr;
  IGuidSource* guid = nullptr;
  IMessageBox* messageBox = nullptr;
  IProcessControl* process = nullptr;
  IResources* resources = nullptr;
  IPictureService* pictures = nullptr;
  IWindowMessages* messages = nullptr;
  IProfileReader* profiles = nullptr;
  IEventLoop* events = nullptr;
  IMainWindowView* window = nullptr;
  IDialogFactory* dialogs = nullptr;
  IShell* shell = nullptr;
  IConnectionService* connection = nullptr;
  IAsyncReadService* reader = nullptr;
  IClock* clock = nullptr;
  ISignatureVerifier* verifier = nullptr;
};

// The platform of a composition root that keeps each service in a member of
// the service's own name, as an object or a pointer that owns one.
template <class Root>
Platform ServicesOf(Root& root) {
  const auto at = [](auto& service) {
    if constexpr (requires { service.get(); })
      return service.get();
    else
      return &service;
  };
  return {.registry = at(root.registry),
          .environment = at(root.environment),
          .files = at(root.files),
          .guid = at(root.guid),
          .messageBox = at(root.messageBox),
          .process = at(root.process),
          .resources = at(root.resources),
          .pictures = at(root.pictures),
          .messages = at(root.messages),
          .profiles = at(root.profiles),
          .events = at(root.events),
          .window = at(root.window),
          .dialogs = at(root.dialogs),
          .shell = at(root.shell),
          .connection = at(root.connection),
          .reader = at(root.reader),
          .clock = at(root.clock),
          .verifier = at(root.verifier)};
}

// The platform of a root without a window, dialogs, pictures, broadcast or
// opener (the quiet check's), its services named as above.
template <class Root>
Platform WindowlessServicesOf(Root& root) {
  return {.registry = &root.registry,
          .environment = &root.environment,
          .files = &root.files,
          .guid = &root.guid,
          .messageBox = &root.messageBox,
          .process = &root.process,
          .profiles = &root.profiles,
          .events = &root.events,
          .connection = &root.connection,
          .reader = &root.reader,
          .clock = &root.clock,
          .verifier = &root.verifier};
}
