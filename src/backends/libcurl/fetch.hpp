#pragma once
// One fetch: its libcurl handle with every option the wizard's fetches
// take, the file its body streams into, and what its answer has said so
// far. Each redirect and interim answer starts the answer anew.
#include <curl/curl.h>

#include <QElapsedTimer>
#include <QTemporaryFile>
#include <QUrl>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "backends/common/fetch_failure_texts.hpp"
#include "backends/libcurl/curl_handles.hpp"

struct FetchSettings {
  int stallSeconds = 60;  // to connect, or to receive kStallBytesPerSecond
  int progressMs = 40;    // least time between two progress reports
  // The most bytes a file may have when nothing smaller bounds it.
  curl_off_t ceiling = LARKSPIRE_MAX_DOWNLOAD_BYTES;
  static constexpr int kMaxRedirects = 5;
};

class Fetch {
 public:
  // A stage reached (AsyncStatus), to be reported.
  using Stage = std::function<void(Fetch& fetch, std::int32_t status)>;

  // Makes the fetch of url under key, its file created exclusively in
  // folder, of at most maxBytes bytes (0: as many as the answer announces).
  // Raises RuntimeError when no file can be made there.
  Fetch(std::string key, const QUrl& url, const QString& folder, curl_off_t maxBytes, const FetchSettings& settings,
        Stage onStage);
  Fetch(const Fetch&) = delete;
  Fetch& operator=(const Fetch&) = delete;

  CURL* Easy() const { return easy_.get(); }
  // Whatever the answer declared and sent so far: decoded bytes for a coded
  // body count as they arrive on the wire.
  curl_off_t Received() const;

  const std::string key;
  std::string proxy;  // the proxy the fetch goes through, "" for none
  std::unique_ptr<QTemporaryFile> file;
  curl_off_t written = 0;
  long status = 0;           // of the answer being read
  std::string reason;        // its reason phrase
  std::string location;      // where a redirect sends the fetch
  bool coded = false;        // the body arrives content-coded and is stored decoded
  curl_off_t expected = -1;  // the announced length of the file's answer
  bool dataBegun = false;
  bool announced = false;
  std::int32_t lastStatus = -1;
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
  bool Head(const std::string& line);
  bool EndOfHead();
  size_t Body(const char* data, size_t size);
  // Ends the fetch in those words; false.
  bool Failed(const FetchFailure& failed);
  bool Garbled();
  // Ends the fetch because its file would grow past bound_.
  bool TooLarge();

  FetchSettings settings_;
  const curl_off_t maxBytes_;
  // The most bytes the file may have, once the answer is known, and whether
  // the answer's own length set it.
  curl_off_t bound_ = 0;
  bool boundByAnswer_ = false;
  std::string folder_;
  Stage onStage_;
  CurlEasy easy_;
  CurlHeaderList headers_;
  int fd_ = -1;
};
