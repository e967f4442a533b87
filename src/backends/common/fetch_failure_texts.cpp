#include "backends/common/fetch_failure_texts.hpp"

#include <cstdio>

#include "support/runtime_error.hpp"

std::string ThroughProxyText(const std::string& proxy) { return "The download went through the proxy " + proxy + "."; }

const char* const kNotUnderstood = "The server's answer could not be understood.";

namespace {
std::string SecondsText(int seconds) { return std::to_string(seconds) + (seconds == 1 ? " second" : " seconds"); }

std::string BytesText(std::int64_t bytes) { return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes"); }

// A size for the user: bytes, KB, MB or GB with one decimal.
std::string SizeText(std::int64_t bytes) {
  if (bytes < 1024) return BytesText(bytes);
  const char* const units[] = {"KB", "MB", "GB", "TB"};
  double value = static_cast<double>(bytes) / 1024;
  int unit = 0;
  for (; value >= 1024 && unit < 3; ++unit) value /= 1024;
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
  return text;
}
}  // namespace

std::string StatusText(long status, const std::string& reason) {
  if (status == 401 || status == 403) return "The access code is invalid.";
  if (status == 404 || status == 410) return "The handle is invalid.";
  std::string text = "The server answered " + std::to_string(status);
  if (!reason.empty()) text += " " + reason;
  return text + " instead of the file.";
}

void RaiseFetchFailure(const FetchFailure& failed) { throw RuntimeError(failed.number, failed.description); }

namespace FetchFailed {
using namespace FetchError;

FetchFailure NameNotResolved() {
  return {FetchError::NameNotResolved, "The server name or address could not be resolved"};
}
FetchFailure ProxyNameNotResolved() {
  return {FetchError::NameNotResolved, "The proxy server's name could not be resolved."};
}
FetchFailure Refused() { return {CannotConnect, "The server refused the connection."}; }
FetchFailure Unreachable(const std::string& why) {
  return {CannotConnect, "The server could not be reached: " + why + "."};
}
FetchFailure NoConnectionWithin(int stallSeconds) {
  return {Timeout, "The server could not be reached within " + SecondsText(stallSeconds) + "."};
}
FetchFailure Stalled(int stallSeconds, bool silent) {
  if (silent)
    return {Timeout, "The server stopped sending data: nothing arrived for " + SecondsText(stallSeconds) + "."};
  return {Timeout, "The server stopped sending data: less than " + std::to_string(kStallBytesPerSecond) +
                       " bytes a second arrived for " + SecondsText(stallSeconds) + "."};
}
FetchFailure SlowHead(int stallSeconds) {
  return {Timeout, "The server answered too slowly: the head of its answer was not complete after " +
                       SecondsText(stallSeconds) + "."};
}
FetchFailure PastDeadline(int seconds) {
  return {Timeout, "The download was stopped: it did not complete within " + SecondsText(seconds) + "."};
}
FetchFailure CertificateNotVerified(std::int32_t number, const std::string& host, const std::string& why) {
  const std::string reason = number == CertificateDate     ? "it has expired or is not valid yet"
                             : number == CertificateName   ? "it was issued for another name"
                             : number == CertificateIssuer ? "no authority this system trusts issued it"
                                                           : why;
  return {number, "The server's certificate could not be verified: " + reason + " (" + host + ")."};
}
FetchFailure BodyCut() {
  return {ConnectionAborted, "The server closed the connection before the download was complete."};
}
FetchFailure NothingAnswered() { return {ConnectionAborted, "The server closed the connection without answering."}; }
FetchFailure TooManyRedirects() { return {Redirect, "The server redirected the download too many times."}; }
FetchFailure RedirectNotAllowed(const std::string& location) {
  return {Redirect, "The server redirected the download to an address that is not allowed: " + location};
}
FetchFailure ConnectionFailed(const std::string& why) {
  return {ConnectionAborted, "The connection to the server failed: " + why + "."};
}
FetchFailure NotUnderstood() { return {InvalidResponse, kNotUnderstood}; }
FetchFailure Other(const std::string& why) { return {ConnectionAborted, "The download failed: " + why + "."}; }
FetchFailure Status(long status, const std::string& reason) {
  return {static_cast<std::int32_t>(status), StatusText(status, reason)};
}

FetchFailure TooLarge(std::int64_t bound, Bound which) {
  const std::string bytes = BytesText(bound);
  if (which == Bound::Announced)
    return {InvalidResponse, "The download was stopped: the server sent more than the " + bytes + " it announced."};
  if (which == Bound::Callers)
    return {InvalidResponse, "The download was stopped: the file is larger than the " + bytes + " it may have."};
  return {InvalidResponse,
          "The download was stopped: the file is larger than " + bytes + ", the most a download may have."};
}

// What a full disk asks of the user: the folder, and how much room the
// whole file needs there (a retry fetches it from the start).
FetchFailure DiskFull(const std::string& folder, std::int64_t fileLength, std::int64_t freeBytes) {
  std::string text = "There is not enough free space in " + folder + " to store the download";
  if (fileLength > 0) text += ": it needs " + SizeText(fileLength) + " and " + SizeText(freeBytes) + " are free";
  return {FetchError::DiskFull, text + ". Make room there, then click Retry."};
}
FetchFailure ReserveReached(const std::string& folder, std::int64_t fileLength, std::int64_t freeBytes,
                            std::int64_t reserve) {
  std::string text = "There is not enough free space in " + folder + " to store the download";
  text += fileLength > 0 ? ": it needs " + SizeText(fileLength) + ", " + SizeText(freeBytes) + " are free and "
                         : ": " + SizeText(freeBytes) + " are free and ";
  return {FetchError::DiskFull, text + SizeText(reserve) + " must stay free. Make room there, then click Retry."};
}
FetchFailure WriteFailed(const std::string& why) {
  return {Write, "The downloaded data could not be written: " + why + "."};
}
FetchFailure NotStored() { return {Write, "The downloaded data could not be stored."}; }

FetchFailure NoFileIn(const std::string& folder) {
  return {Write, "The download could not be stored: no file can be made in " + folder + "."};
}
FetchFailure NotHttp(const std::string& address) {
  return {UnrecognizedScheme, "The address is not an http:// or https:// address: " + address};
}
FetchFailure NoSuchFetch() { return {Write, "No download is running under that key."}; }
}  // namespace FetchFailed
