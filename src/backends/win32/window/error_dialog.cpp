#include "backends/win32/window/error_dialog.hpp"

#include <cmath>

#include "backends/win32/event_loop.hpp"
#include "backends/win32/wide_text.hpp"
#include "backends/win32/window/design.hpp"
#include "backends/win32/window/picture.hpp"
#include "design/layout.hpp"

namespace {
constexpr int kFirstControlId = 100;
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

int OkId() { return kFirstControlId + static_cast<int>(ErrCtl::Cmd); }
}  // namespace

Win32ErrorDialog::Win32ErrorDialog(HWND owner, IResources& resources)
    : owner_(owner), resources_(resources), pxPerTwip_(PixelsPerTwip()) {
  RECT outer{0, 0, TwipsToPixels(kErrorDialogInnerWidth, pxPerTwip_),
             TwipsToPixels(kErrorDialogInnerHeight, pxPerTwip_)};
  AdjustWindowRectEx(&outer, kStyle, FALSE, kExStyle);
  hwnd_ =
      CreateWindowExW(kExStyle, kErrorDialogClass, L"", kStyle, CW_USEDEFAULT, CW_USEDEFAULT, outer.right - outer.left,
                      outer.bottom - outer.top, owner, nullptr, GetModuleHandleW(nullptr), this);
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  for (const ErrorDialogDesign& d : ErrorDialogLayout()) {
    const auto menu = reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + static_cast<int>(d.id)));
    HWND w = nullptr;
    if (d.kind == CtlKind::Picture) {
      image_ = std::make_unique<Win32PictureBox>(hwnd_, kFirstControlId + static_cast<int>(d.id), false);
      w = image_->Handle();
    } else if (d.kind == CtlKind::Button) {
      w = CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 0, 1, 1, hwnd_,
                          menu, instance, nullptr);
    } else {
      w = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 0, 1, 1, hwnd_, menu,
                          instance, nullptr);
    }
    SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(DialogFont()), FALSE);
    auto control =
        std::make_unique<Win32Control>(w, d.kind, pxPerTwip_, d.kind == CtlKind::Picture ? image_.get() : nullptr);
    control->SetGeometry(d.rect);
    controls_[static_cast<std::size_t>(d.id)] = std::move(control);
  }
  controls_[static_cast<std::size_t>(ErrCtl::Cmd)]->SetCaption("&OK");
}

Win32ErrorDialog::~Win32ErrorDialog() {
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
  RemovePropW(hwnd_, kKeyboardOwner);
  controls_ = {};
  image_.reset();
  DestroyWindow(hwnd_);
}

IControl& Win32ErrorDialog::Control(ErrCtl id) { return *controls_[static_cast<std::size_t>(id)]; }

void Win32ErrorDialog::SetCaption(const std::string& caption) { SetWindowTextW(hwnd_, Widen(caption).c_str()); }

void Win32ErrorDialog::UseMainIcon() {
  if (!owner_) return;
  for (const WPARAM which : {ICON_BIG, ICON_SMALL})
    SendMessageW(hwnd_, WM_SETICON, which, SendMessageW(owner_, WM_GETICON, which, 0));
}

void Win32ErrorDialog::SetImage(const std::string& resourceName) {
  auto bytes = resources_.LoadResource(resourceName, "BITMAP");
  if (!bytes) return;
  if (auto picture = DecodePicture(*bytes)) image_->SetPicture(std::move(picture));
}

double Win32ErrorDialog::TextWidth(const std::string& text) {
  return TextPixels(DialogFont(), Widen(text)) / pxPerTwip_;
}

int Win32ErrorDialog::OuterHeight() const {
  RECT r{};
  GetWindowRect(hwnd_, &r);
  return static_cast<int>(std::lround((r.bottom - r.top) / pxPerTwip_));
}

int Win32ErrorDialog::InnerHeight() const {
  RECT r{};
  GetClientRect(hwnd_, &r);
  return static_cast<int>(std::lround(r.bottom / pxPerTwip_));
}

void Win32ErrorDialog::SetOuterHeight(int twips) {
  RECT r{};
  GetWindowRect(hwnd_, &r);
  SetWindowPos(hwnd_, nullptr, 0, 0, r.right - r.left, TwipsToPixels(twips, pxPerTwip_),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32ErrorDialog::ShowModal() {
  // Centred over the window it belongs to.
  RECT over{}, self{};
  if (owner_)
    GetWindowRect(owner_, &over);
  else
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &over, 0);
  GetWindowRect(hwnd_, &self);
  const int w = self.right - self.left, h = self.bottom - self.top;
  SetWindowPos(hwnd_, nullptr, over.left + (over.right - over.left - w) / 2,
               over.top + (over.bottom - over.top - h) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  const bool ownerWasEnabled = owner_ && IsWindowEnabled(owner_);
  if (ownerWasEnabled) EnableWindow(owner_, FALSE);
  closed_ = false;
  ShowWindow(hwnd_, SW_SHOW);
  SetFocus(controls_[static_cast<std::size_t>(ErrCtl::Cmd)]->Handle());
  MSG message;
  while (!closed_) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got <= 0) {
      // The program is ending: the request stays for its own loop.
      if (got == 0) PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    DispatchWindowMessage(message);
  }
  if (ownerWasEnabled) EnableWindow(owner_, TRUE);
  ShowWindow(hwnd_, SW_HIDE);
  if (owner_) SetActiveWindow(owner_);
}

void Win32ErrorDialog::Unload() { closed_ = true; }

LRESULT CALLBACK Win32ErrorDialog::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* dialog = reinterpret_cast<Win32ErrorDialog*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (dialog) {
    switch (message) {
      case WM_COMMAND:
        // OK, Enter and Escape all close it.
        if (LOWORD(wParam) == OkId() || LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK) dialog->Unload();
        return 0;
      case DM_GETDEFID:
        return MAKELRESULT(OkId(), DC_HASDEFID);
      case WM_CLOSE:
        dialog->Unload();
        return 0;
    }
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

std::unique_ptr<IErrorDialogView> Win32DialogFactory::CreateErrorDialog() {
  return std::make_unique<Win32ErrorDialog>(owner_, resources_);
}
