#include "transfer/transfer_text.hpp"

#include <cmath>
#include <cstdio>

#include "install_state/version_rules.hpp"
#include "support/runtime_error.hpp"

std::int32_t CheckedRound(double value) {
  const double r = std::nearbyint(value);
  if (!(r >= -2147483648.0 && r <= 2147483647.0)) RaiseError(ErrNo::Overflow);
  return static_cast<std::int32_t>(r);
}

std::string FormatDuration(float seconds) {
  const std::int32_t total = CheckedRound(seconds);
  const std::int32_t hours = total / 3600;
  const std::int32_t minutes = (total % 3600) / 60;
  char secondsPart[16];
  std::snprintf(secondsPart, sizeof secondsPart, "%02d", total % 60);
  if (hours != 0) {
    char out[64];
    std::snprintf(out, sizeof out, "%d:%02d:%s hours", hours, minutes, secondsPart);
    return out;
  }
  return std::to_string(minutes) + ":" + secondsPart + " minutes";
}

std::string FormatFixed2(float value) {
  char out[64];
  std::snprintf(out, sizeof out, "%.2f", static_cast<double>(value));
  return out;
}

namespace {
std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}
}  // namespace

std::string DescribeTransferErrorText(const std::string& sError, bool (*connected)(void*), void* context) {
  std::string text = TrimSpaces(sError);
  // "System error &H80070002. The system cannot find..." keeps only the words.
  if (Lower(text).starts_with("system error &h")) {
    const std::size_t dot = text.find('.');
    if (dot != std::string::npos) text = TrimSpaces(text.substr(dot + 1));
  }
  const std::string lower = Lower(text);
  std::string result = text;
  if (lower == "the server name or address could not be resolved") {
    if (!connected(context)) result += ". This could be a result of no Internet connection";
  } else if (lower == "not enough storage is available to process this command." ||
             lower == "the access code is invalid.") {
    result = "Unable to complete the download of this file. Please click Retry";
  } else if (lower == "the handle is invalid.") {
    result = "The url could not be found";
  }
  if (result.empty() || result.back() != '.') result += '.';
  return result;
}
