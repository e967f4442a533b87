#pragma once
// Every real backend of the Linux program in one place, wired into the
// Platform the main window takes: the per-user registry file, the Linux
// services, OpenSSL for the maker's signature, and the Qt window, dialogs, message boxes and read service.
#include <memory>
#include <string>

#include "backends/common/embedded_resources.hpp"
#include "backends/common/profile_file_reader.hpp"
#include "backends/libcurl/async_read_service.hpp"
#include "backends/linux/connection_state.hpp"
#include "backends/linux/desktop_opener.hpp"
#include "backends/linux/guid_source.hpp"
#include "backends/openssl/signature_verifier.hpp"
#include "backends/posix/clock.hpp"
#include "backends/posix/environment.hpp"
#include "backends/posix/file_hive_store.hpp"
#include "backends/posix/file_system.hpp"
#include "backends/posix/process_control.hpp"
#include "backends/qt_dbus/window_messages.hpp"
#include "backends/qt_widgets/event_loop.hpp"
#include "backends/qt_widgets/message_box.hpp"
#include "backends/qt_widgets/picture_service.hpp"
#include "backends/qt_widgets/window/error_dialog.hpp"
#include "backends/qt_widgets/window/main_window.hpp"
#include "platform/platform.hpp"

struct LinuxPlatform {
  // registryPath: the per-user registry file to use.
  explicit LinuxPlatform(const std::string& registryPath = FileHiveStore::DefaultPath());

  FileRegistryApi registry;
  PosixEnvironment environment;
  PosixFileSystem files;
  PosixGuidSource guid;
  QtMessageBox messageBox;
  PosixProcessControl process;
  EmbeddedResources resources;
  QtPictureService pictures;
  QtWindowMessages messages;
  QtEventLoop events;
  PosixShell shell;
  PosixConnectionService connection;
  QtAsyncReadService reader;
  PosixClock clock;
  OpenSslSignatureVerifier verifier;
  ProfileFileReader profiles{files};
  std::unique_ptr<QtMainWindow> window;
  std::unique_ptr<QtDialogFactory> dialogs;

  // Every service above; a caller may put one of its own in a member's place
  // (a test's scripted answers) before it hands them on.
  Platform services;
};
