#pragma once
// The Windows program's services in one place: the Win32 backends for
// everything the system provides. The window toolkit's services (the
// window, its dialogs and message boxes, the event loop, the read service,
// pictures, the clock, the end of the program) belong to the front end that
// runs them, which puts them into services.
#include "backends/common/embedded_resources.hpp"
#include "backends/win32/connection_state.hpp"
#include "backends/win32/environment.hpp"
#include "backends/win32/file_system.hpp"
#include "backends/win32/guid_source.hpp"
#include "backends/win32/profile_reader.hpp"
#include "backends/win32/registry_api.hpp"
#include "backends/win32/shell.hpp"
#include "backends/win32/signature_verifier.hpp"
#include "backends/win32/window_messages.hpp"
#include "platform/platform.hpp"

struct Win32Platform {
  Win32Platform();
  Win32Platform(const Win32Platform&) = delete;
  Win32Platform& operator=(const Win32Platform&) = delete;

  Win32RegistryApi registry;
  Win32Environment environment;
  Win32FileSystem files;
  Win32GuidSource guid;
  EmbeddedResources resources;
  Win32WindowMessages messages;
  Win32ProfileReader profiles;
  Win32Shell shell;
  Win32ConnectionService connection;
  Win32SignatureVerifier verifier;

  Platform services;
};
