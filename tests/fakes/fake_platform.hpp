#pragma once
// The fake platform of the behaviour tests: the tests' own services
// (fake_services.hpp), a scripted read service and a clock the test sets. The window, the error
// dialog and the picture decoder are the real ones (the program needs a
// QApplication, on the offscreen platform), with nothing attached to the
// window: the test calls the handlers that clicks and timers would call.
// Files are the real ones, in folders the test chooses; so are the
// environment, the profile reader and the per-user registry file, in a home
// of its own; so is the signature check, whose answers a fake could only
// restate.
#include <memory>
#include <string>
#include <vector>

#include "backends/common/embedded_resources.hpp"
#include "backends/common/profile_file_reader.hpp"
#include "backends/openssl/signature_verifier.hpp"
#include "backends/posix/environment.hpp"
#include "backends/posix/file_hive_store.hpp"
#include "backends/qt_widgets/picture_service.hpp"
#include "backends/qt_widgets/window/error_dialog.hpp"
#include "backends/qt_widgets/window/main_window.hpp"
#include "fakes/fake_services.hpp"
#include "fakes/fake_transfer.hpp"
#include "platform/platform.hpp"

struct FakePlatform {
  FakePlatform();
  FakePlatform(const FakePlatform&) = delete;
  FakePlatform& operator=(const FakePlatform&) = delete;

  TempDir home;  // the user's registry file
  FileRegistryApi registry{home.File("registry.reg")};
  PosixEnvironment environment;
  TestFileSystem files;
  FakeGuidSource guid;
  FakeMessageBox messageBox;
  FakeProcessControl process;
  EmbeddedResources resources;
  QtPictureService pictures;
  FakeWindowMessages messages;
  ProfileFileReader profiles{files};
  FakeEventLoop events;
  std::unique_ptr<QtMainWindow> window = std::make_unique<QtMainWindow>(resources);
  // Each error dialog shown is recorded by its text and closed, as by OK.
  std::unique_ptr<QtDialogFactory> dialogs = std::make_unique<QtDialogFactory>(window.get(), resources);
  std::vector<std::string> errorDialogs;
  FakeShell shell;
  FakeConnection connection;
  FakeAsyncReadService reader;
  FakeClock clock;
  OpenSslSignatureVerifier verifier;

  // Every service above; a test may put a real one in a member's place.
  Platform services;
};
