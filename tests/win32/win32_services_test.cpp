// The Win32 backends of the small platform services, each held to the
// contract of its interface, and the shared pieces of the Linux backends
// (the %NAME% expansion, the Windows-1252 conversions) held to the system's
// own.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/win32_backends.hpp"
#include "platform/win32/win32_prelude.hpp"
#include "support/codepage.hpp"
#include "support/runtime_error.hpp"
#include "win32/scratch_folder.hpp"
#include "win32/win32_registry_backend.hpp"

namespace {

// The run-time error number a call raises, or 0.
template <typename Call>
int ErrorOf(Call call) {
  try {
    call();
  } catch (const RuntimeError& e) {
    return e.Number();
  }
  return 0;
}

// ---- the code page ----

TEST(SystemCodePage, IsWindows1252) {
  // The core converts with its own Windows-1252 table; on a system with
  // another code page its conversions and the system's would part.
  EXPECT_EQ(GetACP(), 1252u);
}

TEST(SystemCodePage, EveryByteConvertsAsOurTableDoes) {
  for (int b = 0; b < 256; ++b) {
    const std::string ansi(1, static_cast<char>(b));
    EXPECT_EQ(SystemAnsiToUtf8(ansi), AnsiToUtf8(ansi)) << b;
    EXPECT_EQ(Utf8ToSystemAnsi(AnsiToUtf8(ansi)), ansi) << b;
  }
}

// Characters the code page lacks: ours gives "?", the system a look-alike
// where it knows one ("A" for "Ā"). Everything else converts alike.
TEST(SystemCodePage, CharactersBeyondTheCodePage) {
  int lookAlikes = 0;
  for (char32_t cp = 1; cp < 0x10000; ++cp) {
    if (cp >= 0xD800 && cp < 0xE000) continue;
    std::string utf8;
    AppendUtf8(utf8, cp);
    const std::string ours = Utf8ToAnsi(utf8);
    const std::string system = Utf8ToSystemAnsi(utf8);
    ASSERT_EQ(ours.size(), 1u) << std::hex << static_cast<std::uint32_t>(cp);
    if (CodePointToCp1252(cp)) {
      EXPECT_EQ(system, ours) << std::hex << static_cast<std::uint32_t>(cp);
    } else {
      EXPECT_EQ(ours, "?") << std::hex << static_cast<std::uint32_t>(cp);
      if (system != "?") ++lookAlikes;
    }
  }
  EXPECT_EQ(Utf8ToSystemAnsi("\xC4\x80"), "A") << "the system's look-alike for U+0100";
  EXPECT_GT(lookAlikes, 0);
}

// ---- environment ----

class Environment : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const auto& [name, value] : kVars) SetEnvironmentVariableA(name, value);
  }
  void TearDown() override {
    for (const auto& [name, value] : kVars) SetEnvironmentVariableA(name, nullptr);
  }
  static constexpr std::pair<const char*, const char*> kVars[] = {{"LK_A", "alpha"},      {"LK_B", "be\xE9ta"},
                                                                  {"LK SPACE", "spaced"}, {"LK_\xC9T\xC9", "summer"},
                                                                  {"LK_P", "%LK_A%"},     {"LK_EMPTY", ""}};

  // The shared expansion rule, looking variables up in this process.
  static std::string Ours(const std::string& src) {
    return ExpandPercentReferences(src, [](const std::string& name) -> std::optional<std::string> {
      char value[1024];
      SetLastError(0);
      const DWORD n = GetEnvironmentVariableA(name.c_str(), value, sizeof value);
      if (n == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::string(value, n);
    });
  }
  Win32Environment env_;

  // The system's expansion, asked for its size first as cRegistry does.
  std::string System(const std::string& text) {
    const std::uint32_t size = env_.ExpandEnvironmentStrings(text.c_str(), nullptr, 0);
    EXPECT_GT(size, 0u) << text;
    std::string buffer(size, '#');
    EXPECT_EQ(env_.ExpandEnvironmentStrings(text.c_str(), buffer.data(), size), size) << text;
    EXPECT_EQ(buffer.back(), '\0') << text;
    buffer.pop_back();
    EXPECT_EQ(CopyExpandedResult(buffer, nullptr, 0), size) << "the size asked for first, as the shared rule gives it";
    return buffer;
  }
};

TEST_F(Environment, TheSharedRuleExpandsAsTheSystemDoes) {
  const std::vector<std::string> texts = {"",
                                          "plain",
                                          "%LK_A%",
                                          "%lk_a%",
                                          "x%LK_A%y%LK_B%z",
                                          "%LK_A%%LK_B%",
                                          "%%",
                                          "%",
                                          "100%",
                                          "%LK_A",
                                          "LK_A%",
                                          "%LK_NONE%",
                                          "%LK_A%LK_NONE%",
                                          "%LK SPACE%",
                                          "%LK_\xE9t\xE9%",
                                          "%LK_P%",
                                          "%LK_EMPTY%|",
                                          "%LK_A%%",
                                          "%%%",
                                          "a%b%c%d",
                                          "%LK_NONE%%LK_NONE%",
                                          "%LK_NONE% %LK_A%"};
  for (const std::string& text : texts) EXPECT_EQ(System(text), Ours(text)) << "\"" << text << "\"";
}

// After a reference to an unknown name the search goes on behind its
// closing "%", for the system and for the shared rule alike.
TEST_F(Environment, AfterAnUnknownNameTheClosingPercentOpensNothing) {
  const struct {
    std::string text, expanded;
  } rows[] = {{"%LK_NONE%LK_A%", "%LK_NONE%LK_A%"}, {"%%LK_A%%", "%%LK_A%%"}, {"100% sure %LK_A%", "100% sure %LK_A%"}};
  for (const auto& row : rows) {
    EXPECT_EQ(System(row.text), row.expanded) << row.text;
    EXPECT_EQ(Ours(row.text), row.expanded) << row.text;
  }
}

// ---- files ----

class Files : public ::testing::Test {
 protected:
  std::string Make(const std::string& name, const std::string& bytes) {
    const std::string path = folder_.Path() + name;
    files_.WriteFile(path, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    return path;
  }
  std::string Read(const std::string& path) {
    const auto reader = files_.OpenRead(path);
    std::string bytes(static_cast<std::size_t>(reader->Length()), '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
      const std::size_t n = reader->Read(reinterpret_cast<std::uint8_t*>(bytes.data()) + got, bytes.size() - got);
      if (n == 0) break;
      got += n;
    }
    EXPECT_EQ(got, bytes.size());
    return bytes;
  }
  ScratchFolder folder_;
  Win32FileSystem files_;
};

TEST_F(Files, TheTemporaryFolderAndUniqueFilesInIt) {
  const std::string temp = files_.GetTempPath();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), '\\');
  EXPECT_TRUE(files_.GetAttr(temp) & Attr::Directory);

  const std::string a = files_.GetTempFileName(folder_.Path(), "qvm");
  const std::string b = files_.GetTempFileName(folder_.Path(), "qvmlong");
  ASSERT_FALSE(a.empty());
  ASSERT_FALSE(b.empty());
  EXPECT_NE(a, b);
  for (const std::string& made : {a, b}) {
    EXPECT_EQ(made.rfind(folder_.Path() + "qvm", 0), 0u) << made << ": the first three letters of the prefix";
    EXPECT_EQ(made.substr(made.size() - 4), ".tmp") << made;
    EXPECT_EQ(files_.OpenRead(made)->Length(), 0) << "made, and empty";
  }
  EXPECT_EQ(files_.GetTempFileName(folder_.Path() + "missing\\", "qvm"), "");
}

TEST_F(Files, WritingReadingAndCopying) {
  std::string bytes(70000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
  const std::string path = Make("data.bin", bytes);
  EXPECT_EQ(Read(path), bytes);

  // Writing starts at the beginning and leaves what lies beyond.
  files_.WriteFile(path, {'x', 'y'});
  EXPECT_EQ(Read(path), "xy" + bytes.substr(2));

  const std::string copy = folder_.Path() + "copy of data.bin";
  files_.FileCopy(path, copy);
  EXPECT_EQ(Read(copy), Read(path));
  const std::string other = Make("other.bin", "other");
  files_.FileCopy(other, copy);
  EXPECT_EQ(Read(copy), "other") << "the destination is replaced";
}

TEST_F(Files, AttributesOfTheProgram) {
  const std::string path = Make("download.msi", "package");
  // Wine reports the archive bit on every file, whatever was set.
  const std::int32_t archive = RunningUnderWine() ? Attr::Archive : 0;
  files_.SetAttr(path, Attr::ReadOnly | Attr::Hidden);
  EXPECT_EQ(files_.GetAttr(path), Attr::ReadOnly | Attr::Hidden | archive);
  // The copy keeps the read-only state, as the Linux backend's copy does.
  const std::string copy = folder_.Path() + "copy.msi";
  files_.FileCopy(path, copy);
  EXPECT_TRUE(files_.GetAttr(copy) & Attr::ReadOnly);
  files_.SetAttr(copy, Attr::Archive);
  EXPECT_EQ(files_.GetAttr(copy), Attr::Archive);
  files_.SetAttr(path, Attr::Normal);
  EXPECT_EQ(files_.GetAttr(path), Attr::Normal | archive);
  EXPECT_EQ(files_.GetAttr(folder_.Path()) & Attr::Directory, Attr::Directory);
}

TEST_F(Files, TheErrorNumbersOfTheProgram) {
  const std::string missing = folder_.Path() + "missing.txt";
  const std::string noFolder = folder_.Path() + "no folder\\file.txt";
  EXPECT_EQ(ErrorOf([&] { files_.OpenRead(missing); }), ErrNo::FileNotFound);
  EXPECT_EQ(ErrorOf([&] { files_.OpenRead(noFolder); }), ErrNo::PathNotFound);
  EXPECT_EQ(ErrorOf([&] { files_.OpenRead(folder_.Path()); }), ErrNo::PathFileAccess);
  EXPECT_EQ(ErrorOf([&] { files_.GetAttr(missing); }), ErrNo::FileNotFound);
  EXPECT_EQ(ErrorOf([&] { files_.GetAttr(noFolder); }), ErrNo::PathNotFound);
  EXPECT_EQ(ErrorOf([&] { files_.Kill(missing); }), ErrNo::FileNotFound);
  EXPECT_EQ(ErrorOf([&] { files_.FileCopy(missing, folder_.Path() + "x"); }), ErrNo::FileNotFound);

  // A folder is no file; a read-only file is kept until it is made writable.
  const std::string sub = folder_.Path() + "sub";
  ASSERT_TRUE(CreateDirectoryA(sub.c_str(), nullptr));
  EXPECT_EQ(ErrorOf([&] { files_.Kill(sub); }), ErrNo::FileNotFound);
  const std::string kept = Make("kept.txt", "x");
  files_.SetAttr(kept, Attr::ReadOnly);
  EXPECT_EQ(ErrorOf([&] { files_.Kill(kept); }), ErrNo::PathFileAccess);
  EXPECT_EQ(ErrorOf([&] { files_.FileCopy(Make("new.txt", "y"), kept); }), ErrNo::PathFileAccess);
  files_.SetAttr(kept, Attr::Normal);
  files_.Kill(kept);
  EXPECT_EQ(ErrorOf([&] { files_.OpenRead(kept); }), ErrNo::FileNotFound);
}

TEST_F(Files, TheCurrentFolder) {
  char expected[MAX_PATH + 1] = {};
  ASSERT_GT(GetCurrentDirectoryA(sizeof expected, expected), 0u);
  EXPECT_EQ(files_.CurDir(), SystemAnsiToUtf8(expected));
}

// ---- GUIDs ----

TEST(GuidSource, RandomVersion4Guids) {
  Win32GuidSource source;
  Guid a, b;
  ASSERT_TRUE(source.CreateGuid(&a));
  ASSERT_TRUE(source.CreateGuid(&b));
  EXPECT_EQ(a.Data3 >> 12, 4) << "version 4";
  EXPECT_EQ(a.Data4[0] & 0xC0, 0x80) << "the standard variant";
  EXPECT_FALSE(a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
               std::equal(a.Data4, a.Data4 + 8, b.Data4));
}

// ---- the registered message and the broadcast ----

TEST(WindowMessages, TheRegisteredMessageIsStableAndNamedWithoutCase) {
  Win32WindowMessages messages;
  const std::uint32_t id = messages.RegisterWindowMessage("lkSMsgGeneral");
  EXPECT_GE(id, 0xC000u);
  EXPECT_LE(id, 0xFFFFu);
  EXPECT_EQ(messages.RegisterWindowMessage("lkSMsgGeneral"), id);
  EXPECT_EQ(messages.RegisterWindowMessage("LKSMSGGENERAL"), id);
  EXPECT_NE(messages.RegisterWindowMessage("lkSMsgOther"), id);
}

// A top-level window of another thread, as a running product program would
// have, counting the messages it is sent.
class ListeningWindow {
 public:
  explicit ListeningWindow(UINT message) : message_(message) {
    thread_ = std::thread([this] { Run(); });
    WaitForSingleObject(ready_, 30000);
  }
  ~ListeningWindow() {
    if (window_) PostMessageA(window_, WM_CLOSE, 0, 0);
    thread_.join();
    CloseHandle(ready_);
    CloseHandle(received_);
  }
  bool Ready() const { return window_ != nullptr; }
  // Waits for the message; false when it has not come within a generous
  // bound (the test fails then rather than hangs).
  bool Received() { return WaitForSingleObject(received_, 30000) == WAIT_OBJECT_0; }
  std::atomic<WPARAM> wParam{0};

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<ListeningWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self && message == self->message_) {
      self->wParam = wParam;
      SetEvent(self->received_);
      return 0;
    }
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(window, message, wParam, lParam);
  }
  void Run() {
    WNDCLASSA cls{};
    cls.lpfnWndProc = Procedure;
    cls.hInstance = GetModuleHandleA(nullptr);
    cls.lpszClassName = "LarkspireListeningWindow";
    RegisterClassA(&cls);
    window_ = CreateWindowExA(0, cls.lpszClassName, "listener", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                              cls.hInstance, nullptr);
    if (window_) SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetEvent(ready_);
    if (!window_) return;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  }

  UINT message_;
  HANDLE ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE received_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HWND window_ = nullptr;
  std::thread thread_;
};

TEST(WindowMessages, TheBroadcastReachesTopLevelWindows) {
  Win32WindowMessages messages;
  const std::uint32_t id = messages.RegisterWindowMessage("lkSMsgGeneral");
  ListeningWindow listener(id);
  ASSERT_TRUE(listener.Ready());
  EXPECT_TRUE(messages.BroadcastNotifyMessage(id, 1000, 0));
  ASSERT_TRUE(listener.Received());
  EXPECT_EQ(listener.wParam, 1000u);
}

// ---- the installer and the shell ----

TEST(Shell, TheInstallerObjectCanBeMade) {
  Win32Shell shell;
  EXPECT_TRUE(shell.InstallerPresent());
}

TEST(Shell, OpenRunsTheFileQuotedAndWithoutWaiting) {
  ScratchFolder folder;
  const std::string dir = folder.Path() + "set up\\";
  ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr));
  const std::string marker = dir + "ran.txt";
  const std::string script = dir + "larkspire setup.bat";
  Win32FileSystem files;
  const std::string text = "@echo ran> \"" + marker + "\"\r\n";
  files.WriteFile(script, std::vector<std::uint8_t>(text.begin(), text.end()));

  Win32Shell shell;
  // As the hand-off passes it: the path in double quotes, no parameters.
  EXPECT_GT(shell.ShellExecute("open", "\"" + script + "\"", "", "", SW_SHOWNORMAL), 32);
  bool ran = false;
  for (int i = 0; i < 300 && !ran; ++i) {
    ran = GetFileAttributesA(marker.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (!ran) Sleep(100);
  }
  EXPECT_TRUE(ran) << "the opened file ran";
  Sleep(200);  // let the script's process close the marker before the folder goes

  EXPECT_LE(shell.ShellExecute("open", "\"" + dir + "missing.msi\"", "", "", SW_SHOWNORMAL), 32);
}

// ---- the connection state ----

TEST(Connection, TheFlagsAndNameOfTheSystem) {
  Win32ConnectionService service;
  std::uint32_t flags = 0xFFFFFFFFu;
  std::vector<char> name(512, 'X');
  const bool ok = service.InternetGetConnectedStateEx(&flags, name.data(), 512, 0);
  DWORD direct = 0;
  EXPECT_EQ(ok, InternetGetConnectedState(&direct, 0) != FALSE);
  if (ok) {
    EXPECT_EQ(flags, direct);
    EXPECT_NE(std::find(name.begin(), name.end(), '\0'), name.end()) << "the name ends with a NUL";
  }
}

}  // namespace
