#pragma once
// The rules every fetch keeps, whichever library moves its bytes: libcurl on
// the Linux build's event loop, WinINet on a worker thread in the Windows
// build. A read service tells the rules what its library saw of the answer
// and of the disk; they answer with the failure that ends the fetch, or with
// nothing while it goes on, and they build the notifications the wizard
// receives, so that both services end every situation the same way.
//
// What the rules decide:
// - addresses: a fetch starts at an http:// or https:// address and follows
//   a redirect to either, but never from https:// down to http://;
// - the head: one Content-Length, in digits, or none; anything else leaves
//   the body's end in doubt;
// - size: the caller's bound, else the announced length, never past the
//   ceiling, counted in stored (decoded) bytes; an announced length counts
//   the bytes on the wire, so it bounds what is stored only when nothing
//   decodes them. An answer that announces more than the bound fails before
//   its body is read;
// - disk: a download never leaves less than a reserve free on the disk of its
//   folder (the system and the user's other programs need room too);
// - time: besides the stall limit, a small fetch (the update information)
//   has a deadline for the whole of it, since a server that sends just above
//   the stall rate could keep it going for hours;
// - the words of a stall: no connection, a head that did not arrive whole,
//   silence, or a trickle.
// Pure: the free space and the times are given; nothing here touches a file
// or the network, and nothing raises.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "backends/common/fetch_failure_texts.hpp"
#include "platform/async_read_service.hpp"

struct TransferSettings {
  int stallSeconds = 60;  // to connect, or to receive kStallBytesPerSecond
  int progressMs = 40;    // least time between two progress reports
  // The most bytes a file may have when nothing smaller bounds it.
  std::int64_t ceiling = LARKSPIRE_MAX_DOWNLOAD_BYTES;
  // The free space a download leaves on its disk at least; below 0: 5 % of
  // the disk, at most kMostReserve.
  std::int64_t diskReserve = -1;
  // How long a small fetch may take in all, from its start to its last byte.
  int smallFileSeconds = 120;

  static constexpr int kMaxRedirects = 5;
  // A fetch bounded to this or less is small: the update information is.
  static constexpr std::int64_t kSmallFileBytes = 1 << 20;
  static constexpr std::int64_t kMostReserve = std::int64_t{256} << 20;
};

enum class Scheme { Other, Http, Https };
// The scheme address starts with, letters compared without regard to case.
Scheme SchemeOf(std::string_view address);
// Whether a fetch may go on from an answer at from to the address it
// redirects to.
bool RedirectAllowed(std::string_view from, std::string_view to);

// The space on the disk of a download's folder, in bytes; below 0: unknown.
struct DiskSpace {
  std::int64_t free = -1;
  std::int64_t total = -1;
};

// What a fetch had seen when its library gave up waiting.
struct Wait {
  bool connected = false;      // to the server
  bool headBegun = false;      // a line of the answer's head had arrived
  bool headDone = false;       // the whole head had
  bool silent = false;         // nothing arrived for the whole stall limit
  std::int64_t elapsedMs = 0;  // since the fetch started
};

class TransferRules {
 public:
  // The rules of a fetch under key of at most maxBytes stored bytes (0: as
  // many as the answer announces) into folder (as the user reads it).
  TransferRules(const TransferSettings& settings, std::string key, std::int64_t maxBytes, std::string folder);

  const TransferSettings& Settings() const { return settings_; }
  // The deadline of the whole fetch, in seconds; 0 for none.
  int DeadlineSeconds() const;

  // The head of the answer that carries the file: every value of its
  // Content-Length, whether the body comes in chunks, whether it is
  // content-coded (and stored decoded), and the disk's space now. The body
  // begins when nothing fails.
  std::optional<FetchFailure> BeginBody(const std::vector<std::string>& lengths, bool chunked, bool coded,
                                        DiskSpace space);
  // Before size more bytes are stored: the file must stay within its bound,
  // and the disk keep its reserve. space is asked at most once a MiB.
  std::optional<FetchFailure> Store(std::int64_t size, const std::function<DiskSpace()>& space);
  // The size bytes were stored.
  void Stored(std::int64_t size) { written_ += size; }
  // The words for a fetch its library stopped waiting for.
  FetchFailure TimedOut(const Wait& wait) const;

  bool DataBegun() const { return dataBegun_; }
  std::int64_t Written() const { return written_; }
  // The announced length of the file's answer; below 0: none.
  std::int64_t Expected() const { return expected_; }

  // The notification of a stage; received: what the answer has sent of the
  // file so far (the bytes on the wire for a coded body).
  AsyncProperty Stage(std::int32_t status, std::int64_t received) const;
  // The completion, the file at path.
  AsyncProperty Completion(const std::string& path) const;
  // The failure, and the way the fetch went when not straight ("" if so).
  AsyncProperty Failure(const FetchFailure& failed, const std::string& route) const;

 private:
  FetchFailure TooLarge() const;
  std::optional<FetchFailure> KeepsReserve(std::int64_t more, DiskSpace space) const;

  const TransferSettings settings_;
  const std::string key_;
  const std::int64_t maxBytes_;
  const std::string folder_;
  bool dataBegun_ = false;
  std::int64_t written_ = 0;
  std::int64_t expected_ = -1;
  // The most bytes the file may have once the answer is known, and whether
  // the answer's own length set it.
  std::int64_t bound_ = 0;
  bool boundByAnswer_ = false;
  std::int64_t nextSpaceAsk_ = 0;  // the size of the file when the disk is asked next
};
