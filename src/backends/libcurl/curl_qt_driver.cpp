#include "backends/libcurl/curl_qt_driver.hpp"

#include <algorithm>
#include <climits>
#include <mutex>

void CurlQtDriver::DeleteLater::operator()(QSocketNotifier* notifier) const {
  notifier->setEnabled(false);
  notifier->deleteLater();
}

CurlQtDriver::CurlQtDriver(Done onDone) : onDone_(std::move(onDone)) {
  static std::once_flag global;
  std::call_once(global, [] { Curl().global_init(CURL_GLOBAL_DEFAULT); });
  multi_.reset(Curl().multi_init());
  Curl().multi_setopt(multi_.get(), CURLMOPT_SOCKETFUNCTION, &CurlQtDriver::OnSocket);
  Curl().multi_setopt(multi_.get(), CURLMOPT_SOCKETDATA, this);
  Curl().multi_setopt(multi_.get(), CURLMOPT_TIMERFUNCTION, &CurlQtDriver::OnTimer);
  Curl().multi_setopt(multi_.get(), CURLMOPT_TIMERDATA, this);
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, [this] { Act(CURL_SOCKET_TIMEOUT, 0); });
}

CurlQtDriver::~CurlQtDriver() {
  Curl().multi_setopt(multi_.get(), CURLMOPT_SOCKETFUNCTION, nullptr);
  Curl().multi_setopt(multi_.get(), CURLMOPT_TIMERFUNCTION, nullptr);
  // No signal of theirs can run any more: they go at once.
  for (auto& [socket, watch] : watches_) {
    delete watch.read.release();
    delete watch.write.release();
  }
}

void CurlQtDriver::Add(CURL* easy) { Curl().multi_add_handle(multi_.get(), easy); }

void CurlQtDriver::Remove(CURL* easy) { Curl().multi_remove_handle(multi_.get(), easy); }

int CurlQtDriver::OnSocket(CURL*, curl_socket_t socket, int what, void* driver, void*) {
  static_cast<CurlQtDriver*>(driver)->WatchSocket(socket, what);
  return 0;
}

void CurlQtDriver::WatchSocket(curl_socket_t socket, int what) {
  Watch& watch = watches_[socket];
  const auto want = [&](Notifier& notifier, QSocketNotifier::Type type, bool wanted, int events) {
    if (!wanted) {
      notifier.reset();
    } else if (!notifier) {
      notifier.reset(new QSocketNotifier(socket, type));
      connect(notifier.get(), &QSocketNotifier::activated, this, [this, socket, events] { Act(socket, events); });
    }
  };
  want(watch.read, QSocketNotifier::Read, what == CURL_POLL_IN || what == CURL_POLL_INOUT, CURL_CSELECT_IN);
  want(watch.write, QSocketNotifier::Write, what == CURL_POLL_OUT || what == CURL_POLL_INOUT, CURL_CSELECT_OUT);
  if (what == CURL_POLL_REMOVE) watches_.erase(socket);
}

int CurlQtDriver::OnTimer(CURLM*, long milliseconds, void* driver) {
  QTimer& timer = static_cast<CurlQtDriver*>(driver)->timer_;
  if (milliseconds < 0)
    timer.stop();
  else
    timer.start(static_cast<int>(std::min<long>(milliseconds, INT_MAX)));
  return 0;
}

void CurlQtDriver::Act(curl_socket_t socket, int events) {
  int running = 0;
  Curl().multi_socket_action(multi_.get(), socket, events, &running);
  int left = 0;
  while (CURLMsg* message = Curl().multi_info_read(multi_.get(), &left))
    if (message->msg == CURLMSG_DONE) onDone_(message->easy_handle, message->data.result);
}
