// Downloads one address the way the wizard does: the read service over
// libcurl, the transfer control, and the main window's download controller
// drawing the progress bar and the figures on every progress notification.
// Prints the bytes, the seconds from the request to the completion, the
// throughput and the processor time (user and system, all threads) spent
// in between (the hashing of the bytes as they arrive included: the time
// ends when the digests are made too), the peak resident memory, the
// resident pages of mapped files after the download (the program and its
// libraries, with the font and locale caches), and the resident memory of
// the painted window as the download started.
// Usage: bench_transfer URL FOLDER (the file is stored in FOLDER and removed
// at the end).
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "app/linux_platform.hpp"
#include "backends/libcurl/async_read_service.hpp"
#include "backends/posix/file_system.hpp"
#include "backends/qt_widgets/window/error_dialog.hpp"
#include "backends/qt_widgets/window/main_window.hpp"
#include "install/arrival_digests.hpp"
#include "platform/async_read_service.hpp"
#include "platform/main_window_view.hpp"
#include "wizard/frm_main.hpp"

namespace {
// Peak resident memory so far, in KiB.
long PeakResidentKib() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

// A resident-memory line of /proc/self/status ("VmRSS:", "RssFile:"), in
// KiB; 0 when it cannot be read.
long StatusKib(std::string_view field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.starts_with(field)) return std::atol(line.c_str() + field.size());
  return 0;
}

// Calls once, after the widget's first paint.
class AfterFirstPaint : public QObject {
 public:
  AfterFirstPaint(QWidget& widget, std::function<void()> call) : call_(std::move(call)) {
    widget.installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && call_) {
      watched->removeEventFilter(this);
      QTimer::singleShot(0, std::exchange(call_, nullptr));
    }
    return false;
  }

 private:
  std::function<void()> call_;
};

// Processor seconds this process has used so far.
double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Sits between the read service and the transfer control: notes the moment
// the fetch ends and counts what went through, then hands everything on.
class Stopwatch : public IAsyncReadService, public IAsyncReadHandler {
 public:
  explicit Stopwatch(IAsyncReadService& inner) : inner_(inner) { inner_.SetHandler(this); }
  void SetHandler(IAsyncReadHandler* handler) override { handler_ = handler; }
  void AsyncRead(const std::string& target, std::int32_t type, const std::string& key, std::int32_t options,
                 std::int64_t maxBytes, std::shared_ptr<IStoredBytes> watcher) override {
    clock.start();
    cpuAtStart = CpuSeconds();
    watcher_ = watcher;
    inner_.AsyncRead(target, type, key, options, maxBytes, std::move(watcher));
  }
  void CancelAsyncRead(const std::string& key) override { inner_.CancelAsyncRead(key); }

  void AsyncReadProgress(const AsyncProperty& p) override {
    ++progress;
    if (p.StatusCode == AsyncStatus::Error) End(p);
    if (handler_) handler_->AsyncReadProgress(p);
  }
  void AsyncReadComplete(const AsyncProperty& p) override {
    End(p);
    if (handler_) handler_->AsyncReadComplete(p);
    QCoreApplication::exit(0);
  }

  QElapsedTimer clock;
  qint64 nanoseconds = -1;
  double cpuAtStart = 0;
  double cpu = 0;
  int progress = 0;
  AsyncProperty last;
  std::optional<PackageDigests> made;

 private:
  void End(const AsyncProperty& p) {
    // The package is ready to check once its digests are: the hashing that
    // ran beside the transfer has caught up.
    if (auto* digests = dynamic_cast<ArrivalDigests*>(watcher_.get()); digests && !p.Failed) made = digests->Result();
    nanoseconds = clock.nsecsElapsed();
    cpu = CpuSeconds() - cpuAtStart;
    last = p;
    if (p.Failed) QCoreApplication::exit(0);
  }
  IAsyncReadService& inner_;
  IAsyncReadHandler* handler_ = nullptr;
  std::shared_ptr<IStoredBytes> watcher_;
};
}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s URL FOLDER\n", argv[0]);
    return 2;
  }
  QApplication app(argc, argv);
  const std::string url = argv[1];

  QtAsyncReadService service;
  service.SetDownloadFolder(QString::fromLocal8Bit(argv[2]));
  Stopwatch reader(service);
  // The real Linux program's services, with the read service timed.
  const std::string registry = std::string(argv[2]) + "/registry.reg";
  LinuxPlatform linux(registry);
  linux.services.reader = &reader;
  QtMainWindow& window = *linux.window;
  QtDialogFactory& dialogs = *linux.dialogs;
  const Platform platform = linux.services;

  frmMain form(platform, "benchmark");
  window.Attach(&form);
  form.ComponentTable.assign(1, UpdateComponent{});
  form.ComponentTable[0].sSourceUrl = url;
  form.ComponentTable[0].sFileName = url.substr(url.rfind('/') + 1);
  form.CurrentPage = PageCheck;
  form.Transfer.ShowTransferStatus();
  // Failures would show the modal download-error dialog: close it at once.
  dialogs.onShown = [](QtErrorDialog& d) { d.Unload(); };
  long windowKib = 0;
  bool started = false;
  AfterFirstPaint start(window, [&] {
    started = true;
    windowKib = StatusKib("VmRSS:");
    form.Transfer.Start(0, 0, form.Installer.WatchArrival());
  });
  // A window never painted would never start the download.
  QTimer::singleShot(30000, [&] {
    if (!started) {
      std::fprintf(stderr, "the window was not painted within 30 s\n");
      QCoreApplication::exit(1);
    }
  });
  window.show();
  if (app.exec() != 0) return 1;

  if (reader.last.Failed || reader.nanoseconds < 0) {
    std::fprintf(stderr, "the download failed: %s\n", reader.last.ErrorDescription.c_str());
    return 1;
  }
  const std::string path = PosixFileSystem::ToNative(reader.last.Path);
  std::error_code ec;
  const auto bytes = std::filesystem::file_size(path, ec);
  std::filesystem::remove(path, ec);
  if (!reader.made || static_cast<std::uintmax_t>(reader.made->length) != bytes) {
    std::fprintf(stderr, "the digests made as the file arrived do not cover it\n");
    return 1;
  }
  const double seconds = reader.nanoseconds / 1e9;
  // The pages of mapped files after the download: the program and its
  // libraries (Qt, libcurl, libcrypto, ...), with the font and locale
  // caches; the part of the peak no buffer size changes.
  const long filesKib = StatusKib("RssFile:");
  std::printf(
      "bytes %llu seconds %.3f MBps %.1f cpu %.3f progress %d rss %ld shown \"%s\" library-rss %ld window-rss %ld\n",
      static_cast<unsigned long long>(bytes), seconds, bytes / seconds / 1e6, reader.cpu, reader.progress,
      PeakResidentKib(), window.Control(Ctl::lblLoad).Caption().c_str(), filesKib, windowKib);
  return 0;
}
