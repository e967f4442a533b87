#pragma once
// The fake platform of the behaviour tests: an in-memory registry, a
// scripted message box, a GUID source and message registry that can be told
// to fail, a process control that records the end of the program, desktop
// services with switches, a scripted read service and a clock the test
// sets. The window, the error dialog and the picture decoder are the real
// ones (the program needs a QApplication, on the offscreen platform), with
// nothing attached to the window: the test calls the handlers that clicks
// and timers would call. Files are the real ones, in folders the test
// chooses; the update-information file is read by the real profile reader.
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "fakes/fake_transfer.hpp"
#include "platform/common/profile_file_reader.hpp"
#include "platform/common/registry_tree.hpp"
#include "platform/event_loop.hpp"
#include "platform/platform.hpp"
#include "platform/posix/posix_services.hpp"
#include "platform/resources.hpp"
#include "platform/shell.hpp"
#include "support/codepage.hpp"
#include "support/runtime_error.hpp"
#ifndef _WIN32  // the Windows build shares only the registry and environment fakes
#include "platform/qt/qt_main_window.hpp"
#include "platform/qt/qt_services.hpp"
#endif

// An in-memory hive whose changes a test can make the store refuse.
class FakeHiveStore : public MemoryHiveStore {
 public:
  bool refuseWrites = false;
  long Begin(bool forWrite, RegistryHive** hive) override {
    if (forWrite && refuseWrites) return Reg::AccessDenied;
    return MemoryHiveStore::Begin(forWrite, hive);
  }
};

class FakeRegistry : public TreeRegistryApi {
 public:
  FakeRegistry() : TreeRegistryApi(store_) {}
  FakeHiveStore& Store() { return store_; }

 private:
  FakeHiveStore store_;
};

class FakeEnvironment : public IEnvironment {
 public:
  std::map<std::string, std::string> vars;  // names and values as program texts
  // The code page of the call's texts: that of the registry it serves.
  TextCodePage codePage = TextCodePage::Windows1252;
  std::uint32_t ExpandEnvironmentStrings(const char* src, char* dst, std::uint32_t size) override {
    // vars hold program texts (UTF-8); the call itself is a single-byte one.
    const bool utf8 = codePage == TextCodePage::Utf8;
    return CopyExpandedResult(ExpandPercentReferences(src,
                                                      [&](const std::string& name) -> std::optional<std::string> {
                                                        for (const auto& [k, v] : vars)
                                                          if (NamesEqual(utf8 ? k : Utf8ToAnsi(k), name, codePage))
                                                            return utf8 ? v : Utf8ToAnsi(v);
                                                        return std::nullopt;
                                                      }),
                              dst, size);
  }
};

struct ShownMessage {
  std::string prompt;
  int buttons;
  std::string title;
};

class FakeMessageBox : public IMessageBox {
 public:
  std::deque<int> answers;  // answers given in order; Ok/No when empty
  std::vector<ShownMessage> shown;
  int MsgBox(const std::string& prompt, int buttons, const std::string& title) override;
};

class FakeGuidSource : public IGuidSource {
 public:
  bool fail = false;
  std::deque<Guid> scripted;  // given first; then a counter-based GUID
  int made = 0;
  bool CreateGuid(Guid* guid) override;
};

class FakeProcessControl : public IProcessControl {
 public:
  int endCount = 0;
  int lastExitStatus = -1;
  // Records the end and unwinds, so nothing after it runs.
  void EndProgram(int exitStatus) override;
};

class FakeWindowMessages : public IWindowMessages {
 public:
  std::deque<std::uint32_t> registerResults;  // then StableMessageId
  int registerCalls = 0;
  bool broadcastFails = false;
  std::vector<std::uint32_t> broadcasts;
  std::uint32_t RegisterWindowMessage(const std::string& name) override;
  bool BroadcastNotifyMessage(std::uint32_t msg, std::uintptr_t, std::intptr_t) override {
    if (!broadcastFails) broadcasts.push_back(msg);
    return !broadcastFails;
  }
};

// Real files, in another temporary or current folder when a test says so,
// recording the temporary files made; the user has no product folder of
// their own.
class TestFileSystem : public PosixFileSystem {
 public:
  std::string tempPath, curDir;  // "": the real ones
  std::vector<std::string> tempFilesMade;
  std::string GetTempPath() override { return tempPath.empty() ? PosixFileSystem::GetTempPath() : tempPath; }
  std::string GetTempFileName(const std::string& dir, const std::string& prefix) override {
    std::string made = PosixFileSystem::GetTempFileName(dir, prefix);
    if (!made.empty()) tempFilesMade.push_back(made);
    return made;
  }
  std::string CurDir() override { return curDir.empty() ? PosixFileSystem::CurDir() : curDir; }
  std::string DefaultProductFolder() override { return ""; }
};

class FakeShell : public IShell {
 public:
  bool installerPresent = true;
  std::intptr_t shellResult = 42;
  struct Call {
    std::string operation, file, parameters, directory;
    int show;
  };
  std::vector<Call> calls;
  bool InstallerPresent() override { return installerPresent; }
  std::intptr_t ShellExecute(const std::string& operation, const std::string& file, const std::string& parameters,
                             const std::string& directory, int showCommand) override {
    calls.push_back({operation, file, parameters, directory, showCommand});
    return shellResult;
  }
};

class FakeConnection : public IConnectionService {
 public:
  bool answers = true;
  std::uint32_t flags = 0x42;  // configured, local network
  int calls = 0;
  bool InternetGetConnectedStateEx(std::uint32_t* f, char* name, std::uint32_t len, std::uint32_t) override;
};

class FakeEventLoop : public IEventLoop {
 public:
  int doEvents = 0;
  std::uint32_t slept = 0;
  std::vector<bool> pointer;
  std::function<void()> onDoEvents;
  void DoEvents() override {
    ++doEvents;
    if (onDoEvents) onDoEvents();
  }
  void Sleep(std::uint32_t ms) override { slept += ms; }
  void SetBusyPointer(bool busy) override { pointer.push_back(busy); }
};

#ifndef _WIN32
struct FakePlatform {
  // overrides: real services that take the place of fakes (a Qt window, a
  // registry file, the real read service).
  explicit FakePlatform(PlatformOverrides overrides = {});

  FakeRegistry registry;
  FakeEnvironment environment;
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
  std::function<void(QtErrorDialog&)> onErrorDialog;  // runs before the dialog is closed
  FakeShell shell;
  FakeConnection connection;
  FakeAsyncReadService reader;
  FakeClock clock;

  // Every service, each a member here unless overridden.
  Platform Services();

 private:
  PlatformOverrides overrides_;
};
#endif

// A temporary folder removed with everything in it at the end of a test.
class TempDir {
 public:
  TempDir();
  // A folder below base instead of the usual temporary-files folder.
  explicit TempDir(const std::string& base);
  ~TempDir();
  const std::string& Native() const { return native_; }  // "/tmp/..."
  std::string Path() const;                              // "Z:\tmp\...\"
  std::string File(const std::string& name) const { return native_ + "/" + name; }

 private:
  std::string native_;
};

std::string ReadFileBytes(const std::string& nativePath);
void WriteFileBytes(const std::string& nativePath, const std::string& bytes);
