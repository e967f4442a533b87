#pragma once
// One fetch: its libcurl handle with every option the wizard's fetches
// take, the file its body streams into, and what its answer has said so
// far, judged by the rules every fetch keeps (transfer_rules.hpp). The fetch
// follows redirects itself, one request each, so that each address gets the
// proxy of its own scheme and host and the rules see every step. Each
// redirect and interim answer starts the answer anew.
#include <curl/curl.h>

#include <QElapsedTimer>
#include <QTemporaryFile>
#include <QUrl>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "backends/common/transfer_rules.hpp"
#include "backends/libcurl/curl_handles.hpp"

class Fetch {
 public:
  // A stage reached (AsyncStatus), to be reported.
  using Stage = std::function<void(Fetch& fetch, std::int32_t status)>;

  // Makes the fetch of url under key, its file created exclusively in
  // folder, of at most maxBytes bytes (0: as many as the answer announces);
  // watcher (may be null) sees each block as it is written. Raises
  // RuntimeError when no file can be made there.
  Fetch(std::string key, const QUrl& url, const QString& folder, curl_off_t maxBytes, const TransferSettings& settings,
        Stage onStage, std::shared_ptr<IStoredBytes> watcher);
  Fetch(const Fetch&) = delete;
  Fetch& operator=(const Fetch&) = delete;

  CURL* Easy() const { return easy_.get(); }
  // Whatever the answer declared and sent so far: decoded bytes for a coded
  // body count as they arrive on the wire.
  curl_off_t Received() const;
  // Goes on to the address the last answer redirected to, when the rules
  // allow it; the failure when they do not. The caller hands the handle to
  // libcurl again.
  std::optional<FetchFailure> Follow();
  // What the fetch had seen when libcurl stopped waiting.
  Wait Waited() const;
  // Writes what the body has left in the fetch's buffer to the file; the
  // failure when it cannot.
  std::optional<FetchFailure> Flush();

  const std::string key;
  TransferRules rules;
  std::string address;  // the address being fetched now
  std::string host;     // its host
  std::string proxy;    // the proxy it goes through, "" for none
  std::unique_ptr<QTemporaryFile> file;
  long status = 0;                           // of the answer being read
  std::string reason;                        // its reason phrase
  std::string location;                      // where a redirect sends the fetch
  bool coded = false;                        // the body arrives content-coded and is stored decoded
  bool headBegun = false, headDone = false;  // of the answer being read
  bool announced = false;
  int redirects = 0;
  std::int32_t lastStatus = -1;
  QElapsedTimer sinceStart;
  QElapsedTimer sinceProgress;
  QElapsedTimer sinceArrival;
  // A failure the callbacks found; it ends the fetch in these words.
  std::int32_t failNumber = 0;
  std::string failure;
  char error[CURL_ERROR_SIZE] = {};

 private:
  static int OnSocketOpened(void* fetch, curl_socket_t socket, curlsocktype purpose);
  static int OnRequestReady(void* fetch, char* remoteIp, char* localIp, int remotePort, int localPort);
  static size_t OnHeader(char* data, size_t size, size_t count, void* fetch);
  static size_t OnBody(char* data, size_t size, size_t count, void* fetch);
  // Points the handle at url, through the proxy for its scheme and host.
  void Aim(const QUrl& url);
  bool Head(const std::string& line);
  bool EndOfHead();
  size_t Body(const char* data, size_t size);
  // Ends the fetch in those words; false.
  bool Failed(const FetchFailure& failed);

  std::string folder_;
  Stage onStage_;
  std::shared_ptr<IStoredBytes> watcher_;
  CurlEasy easy_;
  CurlHeaderList headers_;
  int fd_ = -1;
  // The body's bytes not written yet: libcurl hands them over in pieces of
  // what one read from the socket gave (16 KiB, a TLS record, on https), and
  // the file takes them in blocks of kWriteBlock. A written block goes to
  // the watcher whole, and its buffer is replaced by one the watcher gives
  // back, as large.
  std::vector<std::uint8_t> pending_;
};
