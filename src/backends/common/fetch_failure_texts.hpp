#pragma once
// How a failed fetch is worded for the user, whichever library fetched it:
// the error numbers and the sentences both read services use (libcurl's in
// the Linux build, WinINet's in the Windows one), so that a failure reads
// the same on either. Pure: nothing here touches a file or the network.
#include <cstdint>
#include <string>

// Error numbers of failed fetches, after the platform's Internet error codes.
namespace FetchError {
constexpr std::int32_t Timeout = 12002;
constexpr std::int32_t UnrecognizedScheme = 12006;
constexpr std::int32_t NameNotResolved = 12007;
constexpr std::int32_t CannotConnect = 12029;
constexpr std::int32_t ConnectionAborted = 12030;
constexpr std::int32_t InvalidResponse = 12152;
constexpr std::int32_t Redirect = 12156;
constexpr std::int32_t DiskFull = 112;
constexpr std::int32_t Write = 29;
// A certificate that has expired (or is not valid yet), that names another
// server, that no authority the system trusts issued, or that fails otherwise.
constexpr std::int32_t CertificateDate = 12037;
constexpr std::int32_t CertificateName = 12038;
constexpr std::int32_t CertificateIssuer = 12045;
constexpr std::int32_t CertificateOther = 12169;
}  // namespace FetchError

extern const char* const kNotUnderstood;

// The sentence after a failure whose fetch went through a proxy; proxy is
// the address as the user may see it (no password). Never fails.
std::string ThroughProxyText(const std::string& proxy);

// A fetch that receives less than this many bytes a second for its whole
// stall limit has stalled.
constexpr long kStallBytesPerSecond = 100;

struct FetchFailure {
  std::int32_t number = 0;
  std::string description;
};

// The words for an answer with an HTTP status that is not the file. Never fails.
std::string StatusText(long status, const std::string& reason);

// Raises RuntimeError with the failure's number and words.
[[noreturn]] void RaiseFetchFailure(const FetchFailure& failed);

// Each way a fetch can fail: its number and words. None of these fails.
namespace FetchFailed {
FetchFailure NameNotResolved();
FetchFailure ProxyNameNotResolved();
FetchFailure Refused();
// The server could not be reached, for the reason why (the system's words).
FetchFailure Unreachable(const std::string& why);
// No connection within the stall limit.
FetchFailure NoConnectionWithin(int stallSeconds);
// Connected, then nothing at all (silent) or too little for the stall limit.
FetchFailure Stalled(int stallSeconds, bool silent);
// Connected, and the answer's head had begun but was not whole within the stall limit.
FetchFailure SlowHead(int stallSeconds);
// The whole fetch took longer than it may.
FetchFailure PastDeadline(int seconds);
// The server's certificate for host failed the check: number is one of
// FetchError's Certificate numbers, why the library's words for the last one.
FetchFailure CertificateNotVerified(std::int32_t number, const std::string& host, const std::string& why);
FetchFailure BodyCut();
FetchFailure NothingAnswered();
FetchFailure TooManyRedirects();
// A redirect to location, which is not an address the fetch may go on to.
FetchFailure RedirectNotAllowed(const std::string& location);
// The connection broke, for the reason why (the system's words).
FetchFailure ConnectionFailed(const std::string& why);
FetchFailure NotUnderstood();
// Any other failure, in the fetching library's words.
FetchFailure Other(const std::string& why);
// An answer whose HTTP status is not the file's.
FetchFailure Status(long status, const std::string& reason);

// What set the bound a file grew past: the length the answer announced, the
// caller's limit, or the ceiling of every download.
enum class Bound { Announced, Callers, Ceiling };
FetchFailure TooLarge(std::int64_t bound, Bound which);
// No room in folder: the whole file needs fileLength bytes (unknown below 1)
// and freeBytes are free.
FetchFailure DiskFull(const std::string& folder, std::int64_t fileLength, std::int64_t freeBytes);
// Storing more would leave less than reserve bytes free in folder: the
// whole file needs fileLength bytes (unknown below 1), freeBytes are free.
FetchFailure ReserveReached(const std::string& folder, std::int64_t fileLength, std::int64_t freeBytes,
                            std::int64_t reserve);
// Writing the file failed, for the reason why (the system's words).
FetchFailure WriteFailed(const std::string& why);
// The complete file could not be kept.
FetchFailure NotStored();
// What AsyncRead raises: no file can be made in folder; the address is not
// http:// or https://; and what CancelAsyncRead raises for a key with no fetch.
FetchFailure NoFileIn(const std::string& folder);
FetchFailure NotHttp(const std::string& address);
FetchFailure NoSuchFetch();
}  // namespace FetchFailed
