#pragma once
// The fake platform of the behaviour tests: the tests' own services
// (fake_services.hpp), a scripted read service, a clock the test sets and a
// window that only remembers (fake_window.hpp), with nothing attached to it:
// the test calls the handlers that clicks and timers would call. No toolkit
// and no display: the tests of the real windows put theirs in its place.
// Files are the real ones, in folders the test chooses; so are the
// environment, the profile reader and the per-user registry file, in a home
// of its own; so is the signature check, whose answers a fake could only
// restate.
#include <memory>
#include <string>
#include <vector>

#include "backends/common/embedded_resources.hpp"
#include "backends/common/profile_file_reader.hpp"
#include "fakes/fake_services.hpp"
#include "fakes/fake_transfer.hpp"
#include "fakes/fake_window.hpp"
#include "fakes/registry_backends.hpp"
#include "platform/platform.hpp"
#ifdef _WIN32
#include "backends/win32/signature_verifier.hpp"
using SystemSignatureVerifier = Win32SignatureVerifier;
#else
#include "backends/openssl/signature_verifier.hpp"
using SystemSignatureVerifier = OpenSslSignatureVerifier;
#endif

struct FakePlatform {
  FakePlatform() : services(ServicesOf(*this)) {}
  FakePlatform(const FakePlatform&) = delete;
  FakePlatform& operator=(const FakePlatform&) = delete;

#ifdef _WIN32
  RegistryBackend registryBackend;  // the system's registry, on scratch keys of its own
  IRegistryApi& registry = registryBackend.Api();
#else
  TempDir home;  // the user's registry file
  FileRegistryApi registry{home.File("registry.reg")};
#endif
  SystemEnvironment environment;
  TestFileSystem files;
  FakeGuidSource guid;
  FakeMessageBox messageBox;
  FakeProcessControl process;
  EmbeddedResources resources;
  FakePictureService pictures{files};
  FakeWindowMessages messages;
  ProfileFileReader profiles{files};
  FakeEventLoop events;
  FakeMainWindow window;
  FakeDialogFactory dialogs;  // each dialog shown is recorded by its text
  FakeShell shell;
  FakeConnection connection;
  FakeAsyncReadService reader;
  FakeClock clock;
  SystemSignatureVerifier verifier;

  // Every service above; a test may put a real one in a member's place.
  Platform services;
};
