#include "backends/win32/read_service.hpp"

#include <chrono>
#include <mutex>
#include <system_error>
#include <thread>

#include "backends/win32/download_file.hpp"
#include "backends/win32/inet_head.hpp"
#include "backends/win32/prelude.hpp"
#include "backends/win32/wide_text.hpp"
#include "support/runtime_error.hpp"

namespace {
// Posted to the service's window when notifications wait in its mailbox.
constexpr UINT kNotesArrived = WM_APP + 0x1A5;
constexpr wchar_t kWindowClass[] = L"LarkspireReadService";
// How long the service's end waits for its workers to end. A worker whose
// blocking call a closed handle does not end (under Wine) is left to end by
// itself at its timeout: it holds nothing of the service's but the mailbox
// and its control, which it shares.
constexpr auto kStopWait = std::chrono::milliseconds(500);
}  // namespace

struct Win32AsyncReadService::Mailbox {
  std::mutex mutex;
  HWND window = nullptr;  // none once the service is gone
  bool woken = false;     // a kNotesArrived is on its way
  std::deque<Note> notes;

  // Any thread: queues a note and wakes the window.
  void Post(Note note) {
    const std::lock_guard lock(mutex);
    if (!window) return;
    notes.push_back(std::move(note));
    if (!woken) woken = PostMessageW(window, kNotesArrived, 0, 0) != FALSE;
  }
};

class ReadServiceWindow {
 public:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != kNotesArrived) return DefWindowProcW(window, message, wParam, lParam);
    auto* service = reinterpret_cast<Win32AsyncReadService*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (service) service->Deliver();
    return 0;
  }

  // The window class, registered once for the process.
  static const wchar_t* Class() {
    static const ATOM atom = [] {
      WNDCLASSEXW cls{};
      cls.cbSize = sizeof cls;
      cls.lpfnWndProc = &Procedure;
      cls.hInstance = GetModuleHandleW(nullptr);
      cls.lpszClassName = kWindowClass;
      return RegisterClassExW(&cls);
    }();
    return atom ? kWindowClass : nullptr;
  }
};

Win32AsyncReadService::Win32AsyncReadService() : mailbox_(std::make_shared<Mailbox>()) {
  const wchar_t* cls = ReadServiceWindow::Class();
  const HWND window =
      cls ? CreateWindowExW(0, cls, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), nullptr)
          : nullptr;
  if (!window) throw RuntimeError(ErrNo::InvalidArgument, "The read service's window could not be made.");
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  window_ = window;
  mailbox_->window = window;
}

Win32AsyncReadService::~Win32AsyncReadService() {
  {
    const std::lock_guard lock(mailbox_->mutex);
    mailbox_->window = nullptr;
    mailbox_->notes.clear();
  }
  DestroyWindow(window_);
  for (auto& [key, running] : fetches_) running.control->Cancel();
  const auto deadline = std::chrono::steady_clock::now() + kStopWait;
  for (auto& [key, running] : fetches_) running.control->WaitFinished(deadline);
}

void Win32AsyncReadService::AsyncRead(const std::string& target, std::int32_t, const std::string& propertyName,
                                      std::int32_t, std::int64_t maxBytes, std::shared_ptr<IStoredBytes> watcher) {
  std::wstring url = Widen(target);
  if (!CrackWebAddress(url)) RaiseFetchFailure(FetchFailed::NotHttp(target));
  // A new fetch under a key replaces the old one, delivered or not.
  Stop(propertyName);
  auto file = std::make_unique<DownloadFile>(DownloadFolder());
  auto control = std::make_shared<FetchControl>(file->Path());
  const std::uint64_t id = ++lastId_;
  PostNote post = [mailbox = mailbox_, id](const AsyncProperty& prop, bool complete) {
    mailbox->Post({id, prop, complete});
  };
  auto fetch = std::make_unique<InetFetch>(propertyName, std::move(url), maxBytes, settings_, std::move(file), control,
                                           std::move(post), std::move(watcher));
  try {
    // The worker owns the fetch; it shares only the control and the mailbox.
    std::thread([fetch = std::move(fetch)] { fetch->Run(); }).detach();
  } catch (const std::system_error& e) {
    control->Cancel();
    throw RuntimeError(FetchError::Write, std::string("The download could not be started: ") + e.what() + ".");
  }
  fetches_[propertyName] = {id, std::move(control)};
}

void Win32AsyncReadService::CancelAsyncRead(const std::string& propertyName) {
  if (!fetches_.count(propertyName)) RaiseFetchFailure(FetchFailed::NoSuchFetch());
  Stop(propertyName);
}

void Win32AsyncReadService::Stop(const std::string& key) {
  const auto it = fetches_.find(key);
  if (it == fetches_.end()) return;
  // Its notes, posted or not, find no fetch of theirs and are dropped.
  it->second.control->Cancel();
  fetches_.erase(it);
}

void Win32AsyncReadService::Deliver() {
  {
    const std::lock_guard lock(mailbox_->mutex);
    mailbox_->woken = false;
    for (Note& note : mailbox_->notes) arrived_.push_back(std::move(note));
    mailbox_->notes.clear();
  }
  // One at a time: a handler that dispatches messages itself goes on from
  // the next note, in order.
  while (!arrived_.empty()) {
    const Note note = std::move(arrived_.front());
    arrived_.pop_front();
    const auto it = fetches_.find(note.prop.PropertyName);
    if (it == fetches_.end() || it->second.id != note.fetch) continue;
    // The fetch ends with its completion or failure; its file now belongs
    // to the receiver.
    if (note.complete || note.prop.StatusCode == AsyncStatus::Error) fetches_.erase(it);
    if (!handler_) continue;
    if (note.complete)
      handler_->AsyncReadComplete(note.prop);
    else
      handler_->AsyncReadProgress(note.prop);
  }
}
