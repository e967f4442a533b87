#pragma once
// Every service the program's behaviour uses, gathered for the main window.
// Each backend wires it in one place (the Linux program, the Win32 program,
// the tests' fakes), and every service is there: the program never asks
// whether one is missing.
#include <memory>

#include "platform/async_read.hpp"
#include "platform/environment.hpp"
#include "platform/event_loop.hpp"
#include "platform/file_system.hpp"
#include "platform/profile_reader.hpp"
#include "platform/registry_api.hpp"
#include "platform/shell.hpp"
#include "platform/system_services.hpp"
#include "platform/window.hpp"

struct Platform {
  IRegistryApi& registry;
  IEnvironment& environment;
  IFileSystem& files;
  IGuidSource& guid;
  IMessageBox& messageBox;
  IProcessControl& process;
  IResources& resources;
  IPictureService& pictures;
  IWindowMessages& messages;
  IProfileReader& profiles;
  IEventLoop& events;
  IMainWindowView& window;
  IDialogFactory& dialogs;
  IShell& shell;
  IConnectionService& connection;
  IAsyncReadService& reader;
  IClock& clock;
};

// Services that a caller puts in place of a backend's own when it wires a
// platform (a scripted message box, a recorded end of the program, a real
// window over fake services); null keeps the backend's own.
struct PlatformOverrides {
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
};

// A backend's own services with the overrides put in their place.
inline Platform WithOverrides(const Platform& own, const PlatformOverrides& o) {
  const auto pick = [](auto* replacement, auto& mine) -> auto& { return replacement ? *replacement : mine; };
  return Platform{.registry = pick(o.registry, own.registry),
                  .environment = pick(o.environment, own.environment),
                  .files = pick(o.files, own.files),
                  .guid = pick(o.guid, own.guid),
                  .messageBox = pick(o.messageBox, own.messageBox),
                  .process = pick(o.process, own.process),
                  .resources = pick(o.resources, own.resources),
                  .pictures = pick(o.pictures, own.pictures),
                  .messages = pick(o.messages, own.messages),
                  .profiles = pick(o.profiles, own.profiles),
                  .events = pick(o.events, own.events),
                  .window = pick(o.window, own.window),
                  .dialogs = pick(o.dialogs, own.dialogs),
                  .shell = pick(o.shell, own.shell),
                  .connection = pick(o.connection, own.connection),
                  .reader = pick(o.reader, own.reader),
                  .clock = pick(o.clock, own.clock)};
}

namespace platform_detail {
template <class T>
T& Ref(T& service) {
  return service;
}
template <class T, class D>
T& Ref(std::unique_ptr<T, D>& service) {
  return *service;
}
}  // namespace platform_detail

// The platform of a backend that keeps each service in a member of the
// service's own name (held or owned), with the overrides in their place:
// the one wiring that the Linux program and the tests' fakes share.
template <class Backend>
Platform WireServices(Backend& b, const PlatformOverrides& overrides) {
  using platform_detail::Ref;
  return WithOverrides(Platform{.registry = Ref(b.registry),
                                .environment = Ref(b.environment),
                                .files = Ref(b.files),
                                .guid = Ref(b.guid),
                                .messageBox = Ref(b.messageBox),
                                .process = Ref(b.process),
                                .resources = Ref(b.resources),
                                .pictures = Ref(b.pictures),
                                .messages = Ref(b.messages),
                                .profiles = Ref(b.profiles),
                                .events = Ref(b.events),
                                .window = Ref(b.window),
                                .dialogs = Ref(b.dialogs),
                                .shell = Ref(b.shell),
                                .connection = Ref(b.connection),
                                .reader = Ref(b.reader),
                                .clock = Ref(b.clock)},
                       overrides);
}
