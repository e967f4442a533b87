#pragma once
// The Windows program's services in one place: the Win32 backends for
// everything the system provides, and the window toolkit's services (the
// window, its dialogs and message boxes, the event loop, the read service,
// pictures, the clock, the end of the program) from the front end that
// runs them.
#include "platform/platform.hpp"
#include "platform/resources.hpp"
#include "platform/win32/win32_backends.hpp"

// What a window toolkit provides on Windows.
struct Win32FrontEnd {
  IMessageBox& messageBox;
  IProcessControl& process;
  IPictureService& pictures;
  IEventLoop& events;
  IMainWindowView& window;
  IDialogFactory& dialogs;
  IAsyncReadService& reader;
  IClock& clock;
};

struct Win32Platform {
  explicit Win32Platform(const Win32FrontEnd& frontEnd, PlatformOverrides overrides = {})
      : frontEnd_(frontEnd), overrides_(overrides) {}

  // Every service, each a member here or the front end's unless overridden.
  Platform Services();

  Win32RegistryApi registry;
  Win32Environment environment;
  Win32FileSystem files;
  Win32GuidSource guid;
  EmbeddedResources resources;
  Win32WindowMessages messages;
  Win32ProfileReader profiles;
  Win32Shell shell;
  Win32ConnectionService connection;

 private:
  Win32FrontEnd frontEnd_;
  PlatformOverrides overrides_;
};
