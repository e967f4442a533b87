#pragma once
// The package's CRC-32, SHA-256 and length, made while its bytes arrive, so
// that the check after the last byte compares digests that are already
// there instead of reading the whole download again.
//
// The read service hands each block it stores to Stored, from whichever
// thread stores it. The hashing runs on a thread of its own: SHA-256 is
// slower than a loopback transfer, and the transfer (on the Linux build, the
// window's own event loop) should not wait for it. Blocks wait in a short
// queue of at most kQueuedBytes, so memory stays flat whatever the package's
// size; when the hashing falls behind by that much, a block's hand-over waits
// for it, for about the time one block takes to hash. A block handed over by
// Stored is copied into the queue; one handed over by StoredBlock is queued
// itself, and the buffer given back, of the block's capacity at least, is a
// hashed block's or a new one (or, when the block is not queued, the block
// itself, emptied).
//
// The digests are of the bytes the service wrote, in the order it wrote
// them. Whether the file still holds those bytes is the caller's question
// (InstallerHandoff asks the file's identity before and after its copy).
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

#include "install/crc32.hpp"
#include "install/integrity.hpp"
#include "platform/async_read_service.hpp"
#include "platform/signature_verifier.hpp"

class ArrivalDigests final : public IStoredBytes {
 public:
  // Four of the Linux read service's 512 KiB writes. On two busy cores the
  // hashing falls behind now and then, and the queue lets the transfer run
  // on meanwhile: two blocks cost a seventh of the rate of a 1 GiB
  // download on loopback, eight only held 2 MB more at its peak than four
  // for the same rate (paired runs of bench_transfer).
  static constexpr std::size_t kQueuedBytes = 2 << 20;

  // Raises RuntimeError when the system gives no SHA-256.
  explicit ArrivalDigests(ISignatureVerifier& verifier);
  // Waits for the block being hashed, drops the rest.
  ~ArrivalDigests() override;
  ArrivalDigests(const ArrivalDigests&) = delete;
  ArrivalDigests& operator=(const ArrivalDigests&) = delete;

  void Stored(std::span<const std::uint8_t> block) override;
  std::vector<std::uint8_t> StoredBlock(std::vector<std::uint8_t> block) override;
  // The digests of every byte stored, once the last of them is hashed;
  // nothing when no byte was stored or a block could not be queued. Call it
  // after the fetch has ended; the watcher is spent afterwards. Never raises.
  std::optional<PackageDigests> Result();

 private:
  // Starts the hashing with the first block, and waits until the queue has
  // room; false when the block is not to be queued. Called locked.
  bool Room(std::unique_lock<std::mutex>& lock);
  void HashQueued();

  std::unique_ptr<ISha256> sha_;
  CrcCalculator crc_;
  std::int32_t reg_ = 0;
  std::int64_t length_ = 0;
  bool lost_ = false;  // a block that could not be kept for the hashing

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::vector<std::uint8_t>> queue_;
  std::vector<std::vector<std::uint8_t>> spare_;  // hashed blocks' buffers, used again
  std::size_t queued_ = 0;
  bool ending_ = false;
  std::thread worker_;  // started with the first block
};
