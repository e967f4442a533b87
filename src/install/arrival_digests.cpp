#include "install/arrival_digests.hpp"

ArrivalDigests::ArrivalDigests(ISignatureVerifier& verifier)
    : sha_(verifier.NewSha256()), reg_(crc_.InitCrcTable(kCrc32Polynomial, -1)) {}

ArrivalDigests::~ArrivalDigests() {
  {
    const std::lock_guard lock(mutex_);
    ending_ = true;
    queue_.clear();
  }
  changed_.notify_all();
  if (worker_.joinable()) worker_.join();
}

bool ArrivalDigests::Room(std::unique_lock<std::mutex>& lock) {
  if (lost_ || ending_) return false;
  if (!worker_.joinable()) worker_ = std::thread([this] { HashQueued(); });
  changed_.wait(lock, [this] { return queued_ < kQueuedBytes || ending_; });
  return !ending_;
}

void ArrivalDigests::Stored(std::span<const std::uint8_t> block) {
  if (block.empty()) return;
  std::unique_lock lock(mutex_);
  try {
    if (!Room(lock)) return;
    std::vector<std::uint8_t> copy;
    if (!spare_.empty()) copy = std::move(spare_.back()), spare_.pop_back();
    copy.assign(block.begin(), block.end());
    queued_ += copy.size();
    queue_.push_back(std::move(copy));
  } catch (const std::exception&) {
    // No thread or no memory: the digests will not be had this way, and
    // the check reads the file instead.
    lost_ = true;
  }
  changed_.notify_all();
}

std::vector<std::uint8_t> ArrivalDigests::StoredBlock(std::vector<std::uint8_t> block) {
  if (block.empty()) return block;
  std::unique_lock lock(mutex_);
  try {
    if (Room(lock)) {
      // The buffer given back is as large as the block, so that filling it
      // allocates nothing in the caller (a libcurl callback, say); it is
      // had before the block is queued, so that a block is kept only when
      // one is.
      std::vector<std::uint8_t> next;
      if (!spare_.empty()) next = std::move(spare_.back()), spare_.pop_back();
      next.reserve(block.capacity());
      const std::size_t size = block.size();
      queue_.push_back(std::move(block));  // leaves the block as it was when it fails
      queued_ += size;
      changed_.notify_all();
      next.clear();
      return next;
    }
  } catch (const std::exception&) {
    lost_ = true;  // as in Stored
  }
  // Not to be hashed: the caller fills the block again.
  block.clear();
  return block;
}

void ArrivalDigests::HashQueued() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return !queue_.empty() || ending_; });
    if (queue_.empty()) return;
    std::vector<std::uint8_t> block = std::move(queue_.front());
    queue_.pop_front();
    // The block is the worker's now: the next ones are queued meanwhile.
    lock.unlock();
    reg_ = crc_.UpdateCrc(block, reg_);
    sha_->Update(block);
    length_ += static_cast<std::int64_t>(block.size());
    lock.lock();
    queued_ -= block.size();
    if (spare_.size() < 2) spare_.push_back(std::move(block));
    changed_.notify_all();
  }
}

std::optional<PackageDigests> ArrivalDigests::Result() {
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queued_ == 0; });
    ending_ = true;
  }
  changed_.notify_all();
  if (worker_.joinable()) worker_.join();
  if (lost_ || length_ == 0 || !sha_) return std::nullopt;
  PackageDigests digests{static_cast<std::uint32_t>(FinishCrc(reg_)), sha_->Finish(), length_};
  sha_.reset();
  return digests;
}
