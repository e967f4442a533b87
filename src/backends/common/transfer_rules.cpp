#include "backends/common/transfer_rules.hpp"

#include <algorithm>
#include <cctype>
#include <climits>

namespace {
std::int32_t Clamp(std::int64_t n) { return static_cast<std::int32_t>(std::clamp<std::int64_t>(n, 0, INT32_MAX)); }

bool IsDecimal(const std::string& s) {
  return !s.empty() && s.size() <= 18 && s.find_first_not_of("0123456789") == std::string::npos;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), s.begin(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) == b;
         });
}

// How often a download asks the disk for its space: a statvfs a MiB is
// nothing beside writing that MiB.
constexpr std::int64_t kAskSpaceEvery = 1 << 20;
}  // namespace

Scheme SchemeOf(std::string_view address) {
  if (StartsWithNoCase(address, "http://")) return Scheme::Http;
  if (StartsWithNoCase(address, "https://")) return Scheme::Https;
  return Scheme::Other;
}

bool RedirectAllowed(std::string_view from, std::string_view to) {
  const Scheme next = SchemeOf(to);
  // Never from a private connection down to an open one.
  return next == Scheme::Https || (next == Scheme::Http && SchemeOf(from) != Scheme::Https);
}

TransferRules::TransferRules(const TransferSettings& settings, std::string key, std::int64_t maxBytes,
                             std::string folder)
    : settings_(settings), key_(std::move(key)), maxBytes_(maxBytes), folder_(std::move(folder)) {}

int TransferRules::DeadlineSeconds() const {
  return maxBytes_ > 0 && maxBytes_ <= TransferSettings::kSmallFileBytes ? settings_.smallFileSeconds : 0;
}

std::optional<FetchFailure> TransferRules::BeginBody(const std::vector<std::string>& lengths, bool chunked, bool coded,
                                                     DiskSpace space) {
  for (const std::string& length : lengths)
    if (!IsDecimal(length) || length != lengths.front()) return FetchFailed::NotUnderstood();
  expected_ = chunked || lengths.empty() ? -1 : std::stoll(lengths.front());
  const std::int64_t announced = coded ? -1 : expected_;
  const std::int64_t given = maxBytes_ > 0 ? maxBytes_ : announced;
  boundByAnswer_ = maxBytes_ <= 0 && announced >= 0 && announced <= settings_.ceiling;
  bound_ = given >= 0 ? std::min(given, settings_.ceiling) : settings_.ceiling;
  if (announced > bound_) return boundByAnswer_ = false, TooLarge();
  // A file whose length is known fails now, not when the disk is nearly full.
  if (announced > 0)
    if (std::optional<FetchFailure> full = KeepsReserve(announced, space)) return full;
  dataBegun_ = true;
  return std::nullopt;
}

std::optional<FetchFailure> TransferRules::Store(std::int64_t size, const std::function<DiskSpace()>& space) {
  if (size > bound_ - written_) return TooLarge();
  if (written_ + size < nextSpaceAsk_) return std::nullopt;
  nextSpaceAsk_ = written_ + size + kAskSpaceEvery;
  return KeepsReserve(size, space());
}

std::optional<FetchFailure> TransferRules::KeepsReserve(std::int64_t more, DiskSpace space) const {
  if (space.free < 0) return std::nullopt;  // not known: the write itself tells a full disk
  std::int64_t reserve = settings_.diskReserve;
  if (reserve < 0) reserve = space.total < 0 ? 0 : std::min(space.total / 20, TransferSettings::kMostReserve);
  if (space.free - more >= reserve) return std::nullopt;
  if (space.free < more) return FetchFailed::DiskFull(folder_, expected_, space.free);
  return FetchFailed::ReserveReached(folder_, expected_, space.free, reserve);
}

FetchFailure TransferRules::TooLarge() const {
  using Bound = FetchFailed::Bound;
  return FetchFailed::TooLarge(bound_, boundByAnswer_        ? Bound::Announced
                                       : bound_ == maxBytes_ ? Bound::Callers
                                                             : Bound::Ceiling);
}

FetchFailure TransferRules::TimedOut(const Wait& wait) const {
  const int deadline = DeadlineSeconds();
  // The timers of the system and of the fetch differ by a little.
  if (deadline > 0 && wait.elapsedMs >= deadline * 1000LL - 250) return FetchFailed::PastDeadline(deadline);
  if (!wait.connected) return FetchFailed::NoConnectionWithin(settings_.stallSeconds);
  if (wait.headBegun && !wait.headDone) return FetchFailed::SlowHead(settings_.stallSeconds);
  return FetchFailed::Stalled(settings_.stallSeconds, wait.silent);
}

AsyncProperty TransferRules::Stage(std::int32_t status, std::int64_t received) const {
  AsyncProperty prop;
  prop.PropertyName = key_;
  prop.StatusCode = status;
  prop.BytesRead = Clamp(received);
  // The length is known from the answer on, never before.
  prop.BytesMax = dataBegun_ && expected_ > 0 ? Clamp(expected_) : 0;
  return prop;
}

AsyncProperty TransferRules::Completion(const std::string& path) const {
  AsyncProperty done;
  done.PropertyName = key_;
  done.StatusCode = AsyncStatus::EndDownloadData;
  done.BytesRead = Clamp(written_);
  // Without an announced length the figures stay unknown to the end.
  done.BytesMax = expected_ > 0 ? done.BytesRead : 0;
  done.Path = path;
  return done;
}

AsyncProperty TransferRules::Failure(const FetchFailure& failed, const std::string& route) const {
  AsyncProperty prop;
  prop.PropertyName = key_;
  prop.StatusCode = AsyncStatus::Error;
  prop.Failed = true;
  prop.ErrorNumber = failed.number ? failed.number : FetchError::ConnectionAborted;
  prop.ErrorDescription = failed.description;
  prop.ErrorRoute = route;
  return prop;
}
