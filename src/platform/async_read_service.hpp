#pragma once
// The asynchronous read service: fetches a URL into a local file and
// reports the fetch's stages and progress as notifications on the
// user-interface thread.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

// The service stores each download in the temporary folder under a name
// that begins with this and ends in ".tmp".
inline constexpr const char* kDownloadFilePrefix = "lkd";

// Status codes of a notification.
namespace AsyncStatus {
constexpr std::int32_t Error = 0;
constexpr std::int32_t FindingResource = 1;
constexpr std::int32_t Connecting = 2;
constexpr std::int32_t BeginDownloadData = 4;
constexpr std::int32_t DownloadingData = 5;
constexpr std::int32_t EndDownloadData = 6;
constexpr std::int32_t SendingRequest = 11;
}  // namespace AsyncStatus

// What a notification carries. For an error (StatusCode 0, or a completion
// whose data cannot be had) ErrorNumber and ErrorDescription tell what went
// wrong; the transfer control raises that error when it reads the value.
struct AsyncProperty {
  std::string PropertyName;    // the fetch's key
  std::int32_t AsyncType = 1;  // 1: the data is a local file
  std::int32_t StatusCode = 0;
  std::int32_t BytesRead = 0;
  std::int32_t BytesMax = 0;  // below 1: the size is not known
  std::string Path;           // completion: the local file
  bool Failed = false;
  std::int32_t ErrorNumber = 0;
  std::string ErrorDescription;
  // A failure's second sentence, told after its own words: which way the
  // fetch went when not straight to the server ("" when it did).
  std::string ErrorRoute;
};

class IAsyncReadHandler {
 public:
  virtual ~IAsyncReadHandler() = default;
  virtual void AsyncReadProgress(const AsyncProperty& prop) = 0;
  virtual void AsyncReadComplete(const AsyncProperty& prop) = 0;
};

// Sees a download's bytes as its service stores them, so that what depends
// on them (the package's digests) is ready when the last byte is: every
// stored byte once, in the file's order, in calls that never overlap, from
// whichever thread stores them; the completion is delivered only after the
// last call has returned. Only the bytes of the answer that carries the file
// count, decoded as they are stored. Neither call raises.
class IStoredBytes {
 public:
  virtual ~IStoredBytes() = default;
  virtual void Stored(std::span<const std::uint8_t> block) = 0;
  // The same for a service whose block is a buffer of its own that it can
  // give away: the watcher may keep the block itself instead of copying it,
  // and gives back an empty buffer of the block's capacity at least (one it
  // is done with, a new one, or the block) for the service to fill next.
  virtual std::vector<std::uint8_t> StoredBlock(std::vector<std::uint8_t> block) {
    Stored(block);
    block.clear();
    return block;
  }
};

namespace AsyncOptions {
constexpr std::int32_t GetLatestVersion = 16;  // bypass every cache
}

class IAsyncReadService {
 public:
  virtual ~IAsyncReadService() = default;
  virtual void SetHandler(IAsyncReadHandler* handler) = 0;
  // Starts fetching target under the key propertyName. The file may have at
  // most maxBytes bytes as stored (decoded); 0 leaves the bound to the
  // answer's announced length, or to the service's ceiling for downloads
  // when it announces none, which also bounds every other limit. A file that
  // grows past its bound ends the fetch as a failure. Raises RuntimeError
  // (with a description) when the fetch cannot be started. watcher, when
  // given, sees the file's bytes as they are stored; the service keeps it
  // until the fetch has ended.
  virtual void AsyncRead(const std::string& target, std::int32_t asyncType, const std::string& propertyName,
                         std::int32_t options, std::int64_t maxBytes, std::shared_ptr<IStoredBytes> watcher) = 0;
  // Stops the fetch of that key: nothing more is delivered for it and its
  // partial file is removed. Raises when no such fetch runs.
  virtual void CancelAsyncRead(const std::string& propertyName) = 0;
};
