#pragma once
// Every service the program's behaviour uses, gathered for the main window.
// The real program wires the Linux and Qt backends; tests wire fakes.
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
