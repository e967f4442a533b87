#pragma once
// Every real backend of the Windows program in one place, wired into the
// Platform the main window takes: the system's registry, profile reader,
// files, shell, broadcast and connection state, CNG for the maker's
// signature, WinINet for the transfers, and the native window, its dialog
// and the system's message boxes.
#include <memory>

#include "backends/win32/clock.hpp"
#include "backends/win32/connection_state.hpp"
#include "backends/win32/environment.hpp"
#include "backends/win32/event_loop.hpp"
#include "backends/win32/file_system.hpp"
#include "backends/win32/guid_source.hpp"
#include "backends/win32/message_box.hpp"
#include "backends/win32/process_control.hpp"
#include "backends/win32/profile_reader.hpp"
#include "backends/win32/read_service.hpp"
#include "backends/win32/registry_api.hpp"
#include "backends/win32/resources.hpp"
#include "backends/win32/shell.hpp"
#include "backends/win32/signature_verifier.hpp"
#include "backends/win32/window/error_dialog.hpp"
#include "backends/win32/window/main_window.hpp"
#include "backends/win32/window/picture.hpp"
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
  Win32MessageBox messageBox;
  Win32ProcessControl process;
  Win32Resources resources;
  Win32PictureService pictures;
  Win32WindowMessages messages;
  Win32ProfileReader profiles;
  Win32EventLoop events;
  Win32Shell shell;
  Win32ConnectionService connection;
  Win32AsyncReadService reader;
  Win32Clock clock;
  Win32SignatureVerifier verifier;
  std::unique_ptr<Win32MainWindow> window;
  std::unique_ptr<Win32DialogFactory> dialogs;

  // Every service above; a caller may put one of its own in a member's place
  // before it hands them on.
  Platform services;
};
