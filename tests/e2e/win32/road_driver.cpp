// Drives the Windows program as a user would, under Wine: seeds the
// registry, starts the wizard, finds its window and controls by their
// numbers, clicks as the Linux road does, answers its message boxes and
// closes its error dialogs, and prints where the road ended in the words
// the Linux road uses, its exit status on the next line:
//   road-driver.exe WIZARD [--seed] [--set KEY|NAME|VALUE]... [--answers YN...] [--stop-retry] [--keyboard]
//                   [--shots FOLDER] [--trust CA.pem] [--temp FOLDER]
// --seed empties HKEY_CURRENT_USER\Software\Tessarine, and each --set then
// writes a text value below it. Questions are answered from --answers in
// order, then No. --keyboard presses Next with Enter and Cancel with Escape,
// says after each box and dialog (and after a switch to another program
// and back, once stopped) which button has the keyboard, and with
// --stop-retry presses Stop again and Retry with Enter.
// --shots saves the window at every page as a bitmap. --trust adds a
// certificate authority of the test's own to the user's trusted roots.
// --temp makes FOLDER the wizard's temporary folder.
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, whose types it uses.
#include <wincrypt.h>

#include <cstdio>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "backends/win32/wide_text.hpp"
#include "platform/error_dialog_view.hpp"
#include "platform/main_window_view.hpp"

namespace {
constexpr int kFirstControlId = 100;  // the windows number their controls from here in design order
constexpr DWORD kPatienceMs = 30000;

std::string Text(HWND hwnd) {
  wchar_t buffer[4096] = {};
  GetWindowTextW(hwnd, buffer, 4096);
  return Narrow(buffer);
}

// Saves what the screen shows of a window as a 24-bit bitmap file.
void SaveWindow(HWND hwnd, const std::wstring& path) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return;
  HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
  const HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  BITMAPINFOHEADER info{sizeof info, w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  std::vector<char> pixels(static_cast<std::size_t>((w * 3 + 3) / 4 * 4 * h));
  GetDIBits(memory, bitmap, 0, static_cast<UINT>(h), pixels.data(), reinterpret_cast<BITMAPINFO*>(&info),
            DIB_RGB_COLORS);
  const DWORD offset = sizeof(BITMAPFILEHEADER) + sizeof info;
  const BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(offset + pixels.size()), 0, 0, offset};
  if (FILE* out = _wfopen(path.c_str(), L"wb")) {
    std::fwrite(&file, sizeof file, 1, out), std::fwrite(&info, sizeof info, 1, out);
    std::fwrite(pixels.data(), 1, pixels.size(), out), std::fclose(out);
  }
  SelectObject(memory, old), DeleteObject(bitmap), DeleteDC(memory), ReleaseDC(nullptr, screen);
}

// Adds the PEM certificate in path to the user's trusted roots.
bool Trust(const std::wstring& path) {
  std::string pem;
  if (FILE* in = _wfopen(path.c_str(), L"rb")) {
    for (char buffer[4096]; std::size_t n = std::fread(buffer, 1, sizeof buffer, in);) pem.append(buffer, n);
    std::fclose(in);
  }
  DWORD size = 0;
  CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr);
  std::vector<BYTE> der(size);
  HCERTSTORE roots = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
  const bool added =
      size && roots &&
      CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr, nullptr) &&
      CertAddEncodedCertificateToStore(roots, X509_ASN_ENCODING, der.data(), size, CERT_STORE_ADD_REPLACE_EXISTING,
                                       nullptr);
  if (roots) CertCloseStore(roots, 0);
  if (!added) std::fprintf(stderr, "road-driver: cannot trust %ls\n", path.c_str());
  return added;
}

struct Wizard {
  PROCESS_INFORMATION process{};
  std::wstring shots;  // the folder of the screenshots, "" for none
  bool keyboard = false;
  int shot = 0;
  std::deque<char> answers;
  std::string ends;    // " | box ..." and " | dialog ..." as they were met
  bool quiet = false;  // boxes are answered, not recorded

  bool Running() const { return WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT; }

  // The first window that wanted takes: among the top-level ones (parent null), or among a window's
  // children, however deep in its frames.
  static HWND Find(HWND parent, const std::function<bool(HWND)>& wanted) {
    struct Search {
      const std::function<bool(HWND)>& wanted;
      HWND found = nullptr;
    } search{wanted};
    const WNDENUMPROC visit = [](HWND hwnd, LPARAM param) -> BOOL {
      auto* s = reinterpret_cast<Search*>(param);
      if (s->wanted(hwnd)) s->found = hwnd;
      return s->found == nullptr;
    };
    const auto param = reinterpret_cast<LPARAM>(&search);
    (void)(parent ? EnumChildWindows(parent, visit, param) : EnumWindows(visit, param));
    return search.found;
  }
  // The visible top-level windows of the wizard with that class.
  HWND TopLevel(const wchar_t* className) const {
    return Find(nullptr, [&](HWND hwnd) {
      DWORD pid = 0;
      GetWindowThreadProcessId(hwnd, &pid);
      wchar_t cls[64] = {};
      GetClassNameW(hwnd, cls, 64);
      return pid == process.dwProcessId && IsWindowVisible(hwnd) && lstrcmpW(cls, className) == 0;
    });
  }
  HWND Main() const { return TopLevel(L"LarkspireAutoUpdate"); }

  // A control of a window by its number.
  static HWND Control(HWND top, int id) {
    return Find(top, [&](HWND hwnd) { return GetDlgCtrlID(hwnd) == id; });
  }
  HWND Control(Ctl id) const { return Control(Main(), kFirstControlId + static_cast<int>(id)); }
  std::string Caption(Ctl id) const { return Text(Control(id)); }
  bool Enabled(Ctl id) const { return IsWindowEnabled(Control(id)); }

  // Answers a message box or closes an error dialog that is open; true when one was.
  bool Handle() {
    if (HWND box = TopLevel(L"#32770")) {
      if (!quiet) ends += " | box " + Text(GetDlgItem(box, 0xFFFF));
      int button = IDOK;
      if (GetDlgItem(box, IDYES)) {
        button = !answers.empty() && answers.front() == 'Y' ? IDYES : IDNO;
        if (!answers.empty()) answers.pop_front();
      }
      PostMessageW(GetDlgItem(box, button), BM_CLICK, 0, 0);
      WaitWhile([&] { return IsWindow(box) && IsWindowVisible(box); }, false);
      return Handled();
    }
    if (HWND dialog = TopLevel(L"LarkspireAutoUpdateError")) {
      Snap(dialog, "error-dialog");
      ends += " | dialog " + Text(Control(dialog, kFirstControlId + static_cast<int>(ErrCtl::Label2)));
      PostMessageW(Control(dialog, kFirstControlId + static_cast<int>(ErrCtl::Cmd)), BM_CLICK, 0, 0);
      WaitWhile([&] { return IsWindowVisible(dialog); }, false);
      return Handled();
    }
    return false;
  }

  int handled = 0;  // boxes and dialogs closed so far
  bool Handled() {
    ++handled;
    if (keyboard && !quiet && Main()) Settle(), ends += " | keyboard on " + Focused();
    return true;
  }
  // The button of the wizard's window that has the keyboard.
  std::string Focused() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(Main(), nullptr), &info) || !info.hwndFocus) return "nothing";
    const std::pair<Ctl, const char*> buttons[] = {{Ctl::cmdLoad0, "Stop"},
                                                   {Ctl::cmdLoad1, "Retry"},
                                                   {Ctl::Cmd0, "Back"},
                                                   {Ctl::Cmd1, "Next"},
                                                   {Ctl::Cmd2, "Cancel"}};
    for (const auto& [id, name] : buttons)
      if (Control(id) == info.hwndFocus) return name;
    return info.hwndFocus == Main() ? "the frame" : "another control";
  }
  // Another program's window takes the foreground, then the wizard's again,
  // as a user switching programs does; says where the keyboard is then.
  void SwitchAwayAndBack() {
    const HWND other = CreateWindowExW(0, L"STATIC", L"another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                       200, 100, nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(other), Settle();
    const bool away = GetForegroundWindow() == other;
    SetForegroundWindow(Main()), Settle();
    DestroyWindow(other);
    ends += std::string(" | ") + (away ? "" : "(no switch) ") + "keyboard on " + Focused() + " after a switch";
  }
  void Press(WPARAM key) {
    PostMessageW(Main(), WM_KEYDOWN, key, 1), PostMessageW(Main(), WM_KEYUP, key, 0xC0000001);
    Settle();
  }

  // Waits while busy holds, answering what the wizard asks meanwhile
  // (unless handle is false); false when it still holds at the deadline.
  bool WaitWhile(const std::function<bool()>& busy, bool handle = true) {
    for (const DWORD start = GetTickCount(); GetTickCount() - start < kPatienceMs; Sleep(50)) {
      if (handle && Handle()) continue;
      if (!busy()) return true;
    }
    return false;
  }

  // The page by the title its header band shows (0 when the window never opened).
  int Page() const {
    if (!Main()) return 0;
    const std::string title = Caption(Ctl::Picture1);
    const std::pair<const char*, int> pages[] = {{"Welcome", 1},      {"Preparing", 2},         {"Checking", 3},
                                                 {"Update Error", 5}, {"Updates Available", 5}, {"Not Available", 5},
                                                 {"up to date", 5},   {"Downloading", 6},       {"Ready", 7}};
    for (const auto& [words, page] : pages)
      if (title.find(words) != std::string::npos) return page;
    return -1;
  }
  bool WaitForPage(int page) {
    const bool reached =
        WaitWhile([&] { return Running() && Page() != page && ends.find("dialog") == std::string::npos; });
    Settle();
    return reached && Page() == page;
  }
  // Waits until the wizard has finished what it was doing: it answers once it takes messages again, and
  // (as a page may be drawn from within a yield to the message loop) its page no longer changes.
  void Settle() const {
    const auto looks = [this] {
      return Caption(Ctl::Picture1) + Caption(Ctl::Label1_4) + Caption(Ctl::Cmd1) + (Enabled(Ctl::Cmd1) ? "+" : "-");
    };
    for (std::string before; Main();) {
      DWORD_PTR result;
      SendMessageTimeoutW(Main(), WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result);
      const std::string now = looks();
      if (now == before) return;
      before = now;
      Sleep(100);
    }
  }
  void Snap(HWND hwnd, const std::string& name) {
    if (shots.empty() || !hwnd) return;
    wchar_t file[32];
    swprintf(file, 32, L"\\%02d-", ++shot);
    SaveWindow(hwnd, shots + file + Widen(name) + L".bmp");
  }
  void Snap(const std::string& name) { Snap(Main(), name); }
  // Where the road was when the window was last seen: a click may close it.
  int lastPage = 0;
  std::string lastResult;
  void Click(Ctl id) {
    lastPage = Page(), lastResult = Caption(Ctl::Label1_4);
    if (keyboard && (id == Ctl::Cmd1 || id == Ctl::Cmd2)) {
      const WPARAM key = id == Ctl::Cmd1 ? VK_RETURN : VK_ESCAPE;
      PostMessageW(Main(), WM_KEYDOWN, key, 1), PostMessageW(Main(), WM_KEYUP, key, 0xC0000001);
    } else {
      PostMessageW(Control(id), BM_CLICK, 0, 0);
    }
    Settle();
  }
};

void Seed(const std::vector<std::string>& values) {
  for (const std::string& v : values) {
    const std::size_t a = v.find('|'), b = v.find('|', a + 1);
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, Widen("Software\\Tessarine\\" + v.substr(0, a)).c_str(), 0, nullptr, 0,
                        KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
      continue;
    const std::wstring name = Widen(v.substr(a + 1, b - a - 1)), value = Widen(v.substr(b + 1));
    RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
  }
}
}  // namespace

int main() {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argc < 2) return 64;
  Wizard w;
  std::vector<std::string> values;
  bool stopRetry = false, seed = false;
  for (int i = 2; i < argc; ++i) {
    const std::string a = Narrow(argv[i]);
    if (a == "--set" && i + 1 < argc) values.push_back(Narrow(argv[++i]));
    if (a == "--answers" && i + 1 < argc)
      for (char c : Narrow(argv[++i])) w.answers.push_back(c);
    if (a == "--stop-retry") stopRetry = true;
    if (a == "--seed") seed = true;
    if (a == "--keyboard") w.keyboard = true;
    if (a == "--shots" && i + 1 < argc) w.shots = argv[++i];
    if (a == "--trust" && i + 1 < argc && !Trust(argv[++i])) return 3;
    if (a == "--temp" && i + 1 < argc)
      SetEnvironmentVariableW(L"TMP", argv[++i]), SetEnvironmentVariableW(L"TEMP", argv[i]);
  }
  if (seed) RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Tessarine");
  Seed(values);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  std::wstring line = L"\"" + std::wstring(argv[1]) + L"\"";
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &w.process))
    return 65;
  WaitForInputIdle(w.process.hProcess, 10000);
  w.WaitWhile([&] { return w.Running() && !w.Main(); });

  // As far as the user can go, as the Linux road goes.
  if (w.Running() && w.Page() == 1 && !w.Enabled(Ctl::Cmd1)) {
    w.Click(Ctl::Cmd2);
  } else if (w.Running() && w.Page() == 1) {
    w.Snap("welcome");
    w.Click(Ctl::Cmd1);
    w.Snap("preparing");
    w.Click(Ctl::Cmd1);
    w.Snap("checking");
    const bool result = w.WaitForPage(5);
    w.Snap("result");
    if (result && w.Caption(Ctl::Picture1).find("Update Error") == std::string::npos) {
      if (!w.Enabled(Ctl::Cmd1)) {
        w.Click(Ctl::Cmd2);  // Finished
      } else {
        // The download, until its figures show (a stop needs them; otherwise Ready may come first).
        w.Click(Ctl::Cmd1);
        w.WaitWhile([&] { return w.Running() && w.Caption(Ctl::lblInfo0).empty() && (stopRetry || w.Page() != 7); });
        if (stopRetry) {
          const int before = w.handled;
          w.Click(Ctl::cmdLoad0);  // Stop, answered from --answers
          // With the keyboard, the first answer is No, and Enter asks again on the button that kept it.
          if (w.keyboard && w.WaitWhile([&] { return w.handled == before; })) w.Press(VK_RETURN);
          w.WaitWhile([&] { return w.Caption(Ctl::Label1_3) != "Download stopped"; });
          w.ends += " | " + w.Caption(Ctl::Label1_3);
          if (w.keyboard)
            w.SwitchAwayAndBack(), w.Press(VK_RETURN);  // on Retry, once Stop can no longer take it
          else
            w.Click(Ctl::cmdLoad1);
        }
        w.Snap("downloading");
        if (w.WaitForPage(7)) w.Snap("ready"), w.Click(Ctl::Cmd1);  // Install
      }
    }
  }
  const bool open = w.Main() != nullptr;
  const int page = open ? w.Page() : w.lastPage;
  const std::string result = open ? w.Caption(Ctl::Label1_4) : w.lastResult;
  std::string ends = "page " + std::to_string(page);
  if (page == 5) ends += " " + result.substr(0, result.find('\r'));
  // A wizard still open is closed from its title bar, and its question answered Yes: that is
  // the driver's own doing, not the road's, and goes unrecorded.
  if (w.Running() && w.Main()) {
    w.answers = {'Y'}, w.quiet = true;
    PostMessageW(w.Main(), WM_CLOSE, 0, 0);
  }
  w.WaitWhile([&] { return w.Running(); });
  DWORD status = 259;
  GetExitCodeProcess(w.process.hProcess, &status);
  // Where it ended, and on a line of its own its exit status; the texts' own line breaks as they are.
  _setmode(_fileno(stdout), _O_BINARY);
  std::printf("%s%s\n%lu\n", ends.c_str(), w.ends.c_str(), static_cast<unsigned long>(status));
  return w.Running() ? 66 : 0;
}
