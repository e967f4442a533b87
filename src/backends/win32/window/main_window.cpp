#include "backends/win32/window/main_window.hpp"

#include <cmath>

#include "backends/win32/event_loop.hpp"
#include "backends/win32/wide_text.hpp"
#include "backends/win32/window/design.hpp"
#include "backends/win32/window/error_dialog.hpp"
#include "design/layout.hpp"
#include "support/runtime_error.hpp"

namespace {
// Child controls are numbered from here in design order.
constexpr int kFirstControlId = 100;
constexpr UINT_PTR kStatusTimer = 1, kDownloadTimer = 2;

int ControlId(Ctl id) { return kFirstControlId + static_cast<int>(id); }
}  // namespace

void Win32Timer::SetInterval(int milliseconds) {
  interval_ = milliseconds;
  if (enabled_) SetTimer(hwnd_, id_, static_cast<UINT>(interval_), nullptr);
}

void Win32Timer::SetEnabled(bool enabled) {
  enabled_ = enabled;
  if (enabled && interval_ > 0)
    SetTimer(hwnd_, id_, static_cast<UINT>(interval_), nullptr);
  else
    KillTimer(hwnd_, id_);
}

Win32MainWindow::Win32MainWindow() : pxPerTwip_(PixelsPerTwip()) {
  RegisterWindowClasses(WindowProc, Win32ErrorDialog::WindowProc, Win32PictureBox::WindowProc);
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  RECT outer{0, 0, TwipsToPixels(kFormWidthTwips, pxPerTwip_), TwipsToPixels(kFormHeightTwips, pxPerTwip_)};
  AdjustWindowRectEx(&outer, style, FALSE, WS_EX_CONTROLPARENT);
  hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, kMainWindowClass, L"", style, CW_USEDEFAULT, CW_USEDEFAULT,
                          outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr,
                          GetModuleHandleW(nullptr), this);
  if (!hwnd_) throw RuntimeError(kNotMade, "The window could not be made (error " + std::to_string(GetLastError()) + ")");
  timers_[0] = std::make_unique<Win32Timer>(hwnd_, kStatusTimer);
  timers_[1] = std::make_unique<Win32Timer>(hwnd_, kDownloadTimer);
  timers_[0]->SetInterval(1000);
  timers_[1]->SetInterval(500);
  MakeControls();
}

Win32MainWindow::~Win32MainWindow() {
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
  RemovePropW(hwnd_, kKeyboardOwner);
  controls_ = {};
  boxes_ = {};
  DestroyWindow(hwnd_);
}

void Win32MainWindow::MakeControls() {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  for (const ControlDesign& d : MainWindowDesign()) {
    HWND parent = d.parent == Ctl::Count ? hwnd_ : HandleOf(d.parent);
    const auto menu = reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlId(d.id)));
    const DWORD child = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    HWND w = nullptr;
    switch (d.kind) {
      case CtlKind::Picture:
        boxes_[static_cast<std::size_t>(d.id)] =
            std::make_unique<Win32PictureBox>(parent, ControlId(d.id), d.id == Ctl::picLoad);
        w = boxes_[static_cast<std::size_t>(d.id)]->Handle();
        break;
      case CtlKind::Frame:
        w = CreateWindowExW(WS_EX_CONTROLPARENT, kPanelClass, L"", child | WS_CLIPCHILDREN, 0, 0, 1, 1, parent, menu,
                            instance, nullptr);
        break;
      case CtlKind::Line:
        w = CreateWindowExW(0, L"STATIC", L"", child | SS_ETCHEDHORZ, 0, 0, 1, 1, parent, menu, instance, nullptr);
        break;
      case CtlKind::Label:
        w = CreateWindowExW(0, L"STATIC", L"",
                            child | SS_NOPREFIX | (d.id == Ctl::lblLoad ? SS_LEFTNOWORDWRAP : SS_LEFT), 0, 0, 1, 1,
                            parent, menu, instance, nullptr);
        break;
      case CtlKind::Button:
        w = CreateWindowExW(0, L"BUTTON", L"",
                            child | WS_TABSTOP | (d.id == Ctl::Cmd1 ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), 0, 0, 1, 1,
                            parent, menu, instance, nullptr);
        break;
      case CtlKind::Caption:
        w = CreateWindowExW(0, L"STATIC", L"", child | SS_NOPREFIX | SS_LEFTNOWORDWRAP | SS_CENTERIMAGE, 0, 0, 1, 1,
                            parent, menu, instance, nullptr);
        break;
    }
    SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(DialogFont()), FALSE);
    auto control = std::make_unique<Win32Control>(w, d.kind, pxPerTwip_, boxes_[static_cast<std::size_t>(d.id)].get());
    control->SetGeometry(d.rect);
    control->SetCaption(d.caption);
    controls_[static_cast<std::size_t>(d.id)] = std::move(control);
  }
  ShowWindow(HandleOf(Ctl::picBitmap), SW_HIDE);
  // The caption is drawn over the divider line.
  Control(Ctl::Frame1).BringToFront();
  // Tab goes from Next to Previous to Cancel: the tab order is the order of
  // the window's children.
  SetWindowPos(HandleOf(Ctl::Cmd0), HandleOf(Ctl::Cmd1), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

HWND Win32MainWindow::HandleOf(Ctl id) const {
  const auto& c = controls_[static_cast<std::size_t>(id)];
  return c ? c->Handle() : nullptr;
}

IControl& Win32MainWindow::Control(Ctl id) { return *controls_[static_cast<std::size_t>(id)]; }

ISurface& Win32MainWindow::Surface(Ctl id) {
  const auto& box = boxes_[static_cast<std::size_t>(id)];
  if (!box) RaiseError(ErrNo::InvalidArgument);
  return *box;
}

ITimer& Win32MainWindow::Timer(TimerId id) { return *timers_[id == TimerId::tmrStatus ? 0 : 1]; }

void Win32MainWindow::SetCaption(const std::string& caption) { SetWindowTextW(hwnd_, Widen(caption).c_str()); }

void Win32MainWindow::SetIcon(const std::string& resourceName) {
  const int metrics[2] = {SM_CXICON, SM_CXSMICON};
  for (int i = 0; i < 2; ++i) {
    if (UniqueIcon icon(ResourceIcon(resourceName, metrics[i])); icon.Valid()) {
      SendMessageW(hwnd_, WM_SETICON, i == 0 ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon.Get()));
      icons_[i] = std::move(icon);  // the one it replaces is no longer the window's
    }
  }
}

double Win32MainWindow::TextWidth(const std::string& text) {
  return TextPixels(DialogFont(), Widen(text)) / pxPerTwip_;
}

int Win32MainWindow::WidthTwips() const {
  RECT r{};
  GetWindowRect(hwnd_, &r);
  return static_cast<int>(std::lround((r.right - r.left) / pxPerTwip_));
}

void Win32MainWindow::Show() {
  RECT area{}, window{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  GetWindowRect(hwnd_, &window);
  const int w = window.right - window.left, h = window.bottom - window.top;
  SetWindowPos(hwnd_, nullptr, area.left + (area.right - area.left - w) / 2,
               area.top + (area.bottom - area.top - h) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ShowWindow(hwnd_, SW_SHOW);
  UpdateWindow(hwnd_);
  SetForegroundWindow(hwnd_);
}

void Win32MainWindow::Unload() { Close(false); }

void Win32MainWindow::GiveBackKeyboard() {
  const auto usable = [this](HWND h) { return h && IsChild(hwnd_, h) && IsWindowEnabled(h) && IsWindowVisible(h); };
  HWND owner = static_cast<HWND>(GetPropW(hwnd_, kKeyboardOwner));
  // A button disabled meanwhile (Stop once the download has stopped) hands
  // it on to the page's default: Retry, Stop, Next, Back, then Cancel.
  for (const Ctl id : {Ctl::cmdLoad1, Ctl::cmdLoad0, Ctl::Cmd1, Ctl::Cmd0, Ctl::Cmd2})
    if (!usable(owner)) owner = HandleOf(id);
  if (usable(owner)) ::SetFocus(owner);
}

void Win32MainWindow::Close(bool byUser) {
  if (unloaded_) return;
  int cancel = 0;
  if (byUser && form_) form_->Form_QueryUnload(cancel, 0);
  if (cancel) return;
  unloaded_ = true;
  for (auto& timer : timers_) timer->SetEnabled(false);
  ShowWindow(hwnd_, SW_HIDE);
  if (form_) form_->Form_Unload();
  if (quitOnUnload_) PostQuitMessage(0);
}

void Win32MainWindow::Clicked(int controlId) {
  if (!form_) return;
  // Only a button the user can see and use is pressed: Enter presses the
  // default button through the keyboard handling, whatever its state.
  const auto usable = [this](Ctl id) { return IsWindowEnabled(HandleOf(id)) && IsWindowVisible(HandleOf(id)); };
  for (int i = 0; i < CmdCount; ++i)
    if (controlId == ControlId(Cmd(i))) {
      if (usable(Cmd(i))) form_->Cmd_Click(i);
      return;
    }
  for (int i = 0; i < CmdLoadCount; ++i)
    if (controlId == ControlId(cmdLoad(i))) {
      if (usable(cmdLoad(i))) form_->cmdLoad_Click(i);
      return;
    }
}

LRESULT CALLBACK Win32MainWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* window = reinterpret_cast<Win32MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  // No event of the window reaches the front end as an exception.
  if (window && window->hwnd_) try {
      return window->Message(message, wParam, lParam);
    } catch (const std::exception&) {
      return 0;
    }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT Win32MainWindow::Message(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL) {
        // Escape presses Cancel, as the cancel button of a dialog.
        if (IsWindowEnabled(HandleOf(Ctl::Cmd2)) && IsWindowVisible(HandleOf(Ctl::Cmd2)) && form_)
          form_->Cmd_Click(CmdCancel);
      } else if (HIWORD(wParam) == BN_CLICKED) {
        Clicked(LOWORD(wParam));
      }
      return 0;
    case DM_GETDEFID: {
      // Enter presses the button that has the focus, as in a dialog; Next otherwise.
      const HWND focus = GetFocus();
      for (const Ctl id : {Ctl::Cmd0, Ctl::Cmd2, Ctl::cmdLoad0, Ctl::cmdLoad1})
        if (focus == HandleOf(id)) return MAKELRESULT(ControlId(id), DC_HASDEFID);
      return MAKELRESULT(ControlId(Ctl::Cmd1), DC_HASDEFID);
    }
    case WM_TIMER:
      if (form_ && !unloaded_) {
        if (wParam == kStatusTimer && timers_[0]->Enabled()) form_->tmrStatus_Timer();
        if (wParam == kDownloadTimer && timers_[1]->Enabled()) form_->tmrDownload_Timer();
      }
      return 0;
    case WM_CLOSE:
      Close(true);
      return 0;
    case WM_ACTIVATE:
      // The system would give the keyboard to the frame, where Enter and the
      // access keys reach no button: the control that had it keeps it
      // across a message box, the error dialog and a switch to another
      // program.
      if (LOWORD(wParam) == WA_INACTIVE) {
        if (const HWND focus = GetFocus(); focus && IsChild(hwnd_, focus)) SetPropW(hwnd_, kKeyboardOwner, focus);
      } else if (!HIWORD(wParam)) {
        GiveBackKeyboard();
      }
      return 0;
    case WM_SETFOCUS:
      GiveBackKeyboard();
      return 0;
    case kGiveBackKeyboard:
      if (GetActiveWindow() == hwnd_) GiveBackKeyboard();
      return 0;
    case WM_DPICHANGED: {
      // Moved to a monitor of another DPI: the same twips at its pixels, in
      // its fonts (the new size tells the form, as any other resize). What
      // the picture boxes hold keeps its pixels until it is drawn again.
      SetScreenDpi(HIWORD(wParam));
      pxPerTwip_ = PixelsPerTwip();
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                   suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      for (const auto& control : controls_) control->Rescale(pxPerTwip_);
      return 0;
    }
    case WM_SIZE:
      if (form_) form_->Form_Resize();
      return 0;
    case WM_SETCURSOR:
      if (BusyPointerShown()) {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}
