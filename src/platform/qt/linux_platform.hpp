#pragma once
// Every real backend of the Linux program in one place, wired into the
// Platform the main window takes: the per-user registry file, the Linux
// services, and the Qt window, dialogs, message boxes and read service.
#include <memory>
#include <string>

#include "platform/common/profile_file_reader.hpp"
#include "platform/platform.hpp"
#include "platform/posix/file_hive_store.hpp"
#include "platform/posix/net_state.hpp"
#include "platform/posix/posix_services.hpp"
#include "platform/qt/qt_async_read.hpp"
#include "platform/qt/qt_main_window.hpp"
#include "platform/qt/qt_services.hpp"
#include "platform/resources.hpp"

struct LinuxPlatform {
  // registryPath: the per-user registry file to use; overrides: services
  // that take the place of the real ones (a test's scripted answers).
  explicit LinuxPlatform(const std::string& registryPath = FileHiveStore::DefaultPath(),
                         PlatformOverrides overrides = {});

  // Every service, each a member here unless overridden.
  Platform Services();

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
  ProfileFileReader profiles{files};
  std::unique_ptr<QtMainWindow> window;
  std::unique_ptr<QtDialogFactory> dialogs;

 private:
  PlatformOverrides overrides_;
};
