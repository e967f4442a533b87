#pragma once
// The tests' own services, none of which needs a window: a scripted message
// box and GUID source, a message registry that can be told to fail, a
// process control that records the end of the program, desktop services
// with switches, an event loop that counts its yields, real files in folders
// the test chooses, and temporary folders that go with the test.
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#ifdef _WIN32
#include "backends/win32/file_system.hpp"
using SystemFileSystem = Win32FileSystem;
#else
#include "backends/posix/file_system.hpp"
using SystemFileSystem = PosixFileSystem;
#endif
#include "platform/connection.hpp"
#include "platform/event_loop.hpp"
#include "platform/guid_source.hpp"
#include "platform/message_box.hpp"
#include "platform/process_control.hpp"
#include "platform/shell.hpp"
#include "platform/window_messages.hpp"

struct ShownMessage {
  std::string prompt;
  int buttons;
  std::string title;
};

struct FakeMessageBox : IMessageBox {
  std::deque<int> answers;          // answers given in order; Ok/No when empty
  std::function<void()> whileOpen;  // runs once, while the next box is open, as the window goes on working
  std::vector<ShownMessage> shown;
  int MsgBox(const std::string& prompt, int buttons, const std::string& title) override;
};

struct FakeGuidSource : IGuidSource {
  std::deque<Guid> scripted;  // given first; then a counter-based GUID
  int made = 0;
  bool CreateGuid(Guid* guid) override;
};

struct FakeProcessControl : IProcessControl {
  int endCount = 0;
  int lastExitStatus = -1;
  // Records the end and unwinds, so nothing after it runs.
  void EndProgram(int exitStatus) override;
};

struct FakeWindowMessages : IWindowMessages {
  std::deque<std::uint32_t> registerResults;  // then StableMessageId
  int registerCalls = 0;
  bool broadcastFails = false;
  std::vector<std::string> broadcasts;  // "message wParam lParam", as sent
  std::uint32_t RegisterWindowMessage(const std::string& name) override;
  bool BroadcastNotifyMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override {
    broadcasts.push_back(std::to_string(msg) + " " + std::to_string(wParam) + " " + std::to_string(lParam));
    return !broadcastFails;
  }
};

// Real files, in another temporary or current folder when a test says so,
// recording the temporary files made; the user has no product folder of
// their own.
struct TestFileSystem : SystemFileSystem {
  std::string tempPath, curDir;  // "": the real ones
  std::vector<std::string> tempFilesMade;
  std::string GetTempPath() override { return tempPath.empty() ? SystemFileSystem::GetTempPath() : tempPath; }
  std::string GetTempFileName(const std::string& dir, const std::string& prefix) override {
    std::string made = SystemFileSystem::GetTempFileName(dir, prefix);
    if (!made.empty()) tempFilesMade.push_back(made);
    return made;
  }
  std::string CurDir() override { return curDir.empty() ? SystemFileSystem::CurDir() : curDir; }
  std::string DefaultProductFolder() override { return ""; }
  // The bytes read through OpenRead so far.
  std::int64_t bytesRead = 0;
  std::unique_ptr<IFileReader> OpenRead(const std::string& path) override {
    struct Counted : IFileReader {
      std::unique_ptr<IFileReader> inner;
      std::int64_t& count;
      Counted(std::unique_ptr<IFileReader> r, std::int64_t& c) : inner(std::move(r)), count(c) {}
      std::int64_t Length() const override { return inner->Length(); }
      std::size_t Read(std::uint8_t* buffer, std::size_t n) override {
        const std::size_t got = inner->Read(buffer, n);
        count += static_cast<std::int64_t>(got);
        return got;
      }
    };
    return std::make_unique<Counted>(SystemFileSystem::OpenRead(path), bytesRead);
  }
};

struct FakeShell : IShell {
  bool installerPresent = true;
  std::intptr_t shellResult = 42;
  struct Call {
    std::string operation, file;
    int show;
  };
  std::vector<Call> calls;
  bool InstallerPresent() override { return installerPresent; }
  std::intptr_t ShellExecute(const std::string& operation, const std::string& file, const std::string&,
                             const std::string&, int showCommand) override {
    calls.push_back({operation, file, showCommand});
    return shellResult;
  }
};

struct FakeConnection : IConnectionService {
  bool answers = true;
  std::uint32_t flags = 0x42;  // configured, local network
  bool InternetGetConnectedStateEx(std::uint32_t* f, char* name, std::uint32_t len, std::uint32_t) override;
};

struct FakeEventLoop : IEventLoop {
  int doEvents = 0;
  std::vector<bool> pointer;
  std::function<void()> onDoEvents;
  void DoEvents() override {
    ++doEvents;
    if (onDoEvents) onDoEvents();
  }
  void Sleep(std::uint32_t) override {}
  void SetBusyPointer(bool busy) override { pointer.push_back(busy); }
};

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
  // A file's path as the program names it ("Z:\tmp\...\name").
  std::string Program(const std::string& name) const { return Path() + name; }

 private:
  std::string native_;
};

std::string ReadFileBytes(const std::string& nativePath);
void WriteFileBytes(const std::string& nativePath, const std::string& bytes);
